#include "QuorixMacCore/Control/QuorixMacServerController.h"

#include "QuorixMacCore/Pairing/PairingTokenStore.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixMacCore/Support/WebSocketTestClient.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <gtest/gtest.h>

namespace quorix {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::waitUntil;
using testing::WebSocketTestClient;

// Timing is checked only against bounds that a loaded machine keeps: a send must not come
// before its delay (less a little for timer coarseness) and must come within this slack.
constexpr auto timerEarliness = 50ms;
constexpr auto timerSlack = 2s;

/// Finds no icons and never touches the network.
class NoWebIcons final : public WebIconResolving {
public:
    QFuture<WebIconData> iconData(const URL&) override {
        return QtFuture::makeReadyFuture(WebIconData{});
    }
};

std::uint16_t freePort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::Any, 0));
    return probe.serverPort();
}

// Whole seconds, as on the wire, so a layout travelling to the phone and back stays equal.
Date wholeSecondsNow() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

/// The next server message, running the main thread's events while waiting for it.
std::optional<QuorixServerMessage> nextMessage(WebSocketTestClient& client,
                                               std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (std::optional<QuorixServerMessage> message = client.readMessage(5ms)) {
            return message;
        }
    }
    return std::nullopt;
}

/// The next `layout_changed`, with when it arrived; other messages are skipped.
std::optional<std::pair<LayoutRecord, Clock::time_point>>
nextLayoutChanged(WebSocketTestClient& client, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        std::optional<QuorixServerMessage> message = nextMessage(client, left);
        if (!message) {
            return std::nullopt;
        }
        if (const auto* changed =
                std::get_if<QuorixServerMessage::LayoutChanged>(&message->value)) {
            return std::pair(changed->layout, Clock::now());
        }
    }
    return std::nullopt;
}

void pump(std::chrono::milliseconds period) {
    const auto deadline = Clock::now() + period;
    while (Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

class QuorixMacServerControllerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(directory.isValid()); }

    MacEditorLayoutStore layoutStore() {
        return MacEditorLayoutStore(
            defaults, QString(MacEditorLayoutStore::defaultKey),
            std::make_shared<RootedApplicationDirectories>(directory.path()));
    }

    QuorixMacServerController& makeController(std::uint16_t port) {
        QuorixMacServerController::Options options;
        options.makeTokenStore = [tokens = tokens] { return tokens; };
        options.makeActionExecutor = [] {
            return std::make_shared<testing::ControllableActionExecutor>();
        };
        options.serverOptions.makeServiceRegistrar = [log = registrations] {
            return std::make_unique<testing::RecordingServiceRegistrar>(log);
        };
        options.editorStateOptions.clock = wholeSecondsNow;
        options.webIconResolver = &webIcons;
        controller = std::make_unique<QuorixMacServerController>(QStringLiteral("Test Desk"),
                                                                 layoutStore(), port, options);
        controller->setOnPairingCompleted([this] { ++pairingsCompleted; });
        return *controller;
    }

    /// A running controller with one paired phone.
    QuorixMacServerController& startWithPhone(WebSocketTestClient& phone) {
        QuorixMacServerController& started = makeController(freePort());
        started.start();
        EXPECT_TRUE(started.isRunning()) << started.lastError().value_or(QString()).toStdString();
        EXPECT_TRUE(phone.open(*started.port()));
        EXPECT_TRUE(phone.pair(started.pairingCode().toStdString()));
        EXPECT_TRUE(waitUntil([&] { return pairingsCompleted == 1; }));
        return started;
    }

    QTemporaryDir directory;
    std::shared_ptr<testsupport::InMemoryUserDefaults> defaults =
        std::make_shared<testsupport::InMemoryUserDefaults>();
    std::shared_ptr<InMemoryPairingTokenStore> tokens =
        std::make_shared<InMemoryPairingTokenStore>();
    std::shared_ptr<testing::RecordingServiceRegistrar::Log> registrations =
        std::make_shared<testing::RecordingServiceRegistrar::Log>();
    NoWebIcons webIcons;
    std::unique_ptr<QuorixMacServerController> controller;
    int pairingsCompleted = 0;
};

TEST_F(QuorixMacServerControllerTest, startsOnItsDefaultLayoutWhenNothingIsStored) {
    QuorixMacServerController& made = makeController(freePort());

    const LayoutRecord& layout = made.editorState().layout();
    ASSERT_EQ(layout.pages.size(), 1U);
    EXPECT_EQ(layout.pages[0].name, "ページ 1");
    EXPECT_EQ(layout.pages[0].order, 0);
    EXPECT_EQ(layout.pages[0].gradient, GradientPreset::custom);
    EXPECT_EQ(layout.pages[0].gridColumns, 3);
    EXPECT_EQ(layout.pages[0].gridRows, 5);
    EXPECT_TRUE(layout.pages[0].buttons.empty());
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホ未同期");
    EXPECT_EQ(made.editorState().syncStatusText().toStdString(), "スマホ未同期");
    EXPECT_FALSE(made.isRunning());
    EXPECT_FALSE(made.port());
    EXPECT_TRUE(made.pairingCode().isEmpty());

    // The next run finds it stored and keeps it.
    const UUID firstID = layout.id;
    controller.reset();
    EXPECT_EQ(makeController(freePort()).editorState().layout().id, firstID);
}

TEST_F(QuorixMacServerControllerTest, startRestartAndStopPublishTheirState) {
    const std::uint16_t port = freePort();
    QuorixMacServerController& made = makeController(port);
    QSignalSpy running(&made, &QuorixMacServerController::isRunningChanged);
    QSignalSpy errors(&made, &QuorixMacServerController::lastErrorChanged);

    made.start();
    ASSERT_TRUE(made.isRunning()) << made.lastError().value_or(QString()).toStdString();
    EXPECT_EQ(made.port(), port);
    EXPECT_EQ(made.pairingCode().size(), 6);
    EXPECT_TRUE(made.fingerprint().isEmpty());
    EXPECT_FALSE(made.lastError());
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホ接続待ち");
    EXPECT_EQ(made.editorState().syncStatusText().toStdString(), "スマホ接続待ち");
    EXPECT_EQ(running.count(), 1);
    EXPECT_EQ(errors.count(), 0);

    // A restart reopens the same port and makes the old code worthless.
    const std::string oldCode = made.pairingCode().toStdString();
    made.start();
    ASSERT_TRUE(made.isRunning());
    EXPECT_EQ(made.port(), port);
    if (made.pairingCode().toStdString() != oldCode) {
        WebSocketTestClient phone;
        ASSERT_TRUE(phone.open(port));
        EXPECT_FALSE(phone.pair(oldCode));
    }

    made.stop();
    EXPECT_FALSE(made.isRunning());
    EXPECT_FALSE(made.port());
    EXPECT_TRUE(made.pairingCode().isEmpty());
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホ接続待ち");
    WebSocketTestClient late;
    EXPECT_FALSE(late.connectTo(port));

    // Stopping what is stopped changes nothing, so nothing is announced.
    const qsizetype before = running.count();
    made.stop();
    EXPECT_EQ(running.count(), before);
}

TEST_F(QuorixMacServerControllerTest, refreshingACodeWhileStoppedStartsTheServer) {
    QuorixMacServerController& made = makeController(freePort());
    made.refreshPairingCode();
    ASSERT_TRUE(made.isRunning());

    made.prepareFreshPairingCodeForDisplay();
    EXPECT_TRUE(made.isRunning());
    EXPECT_EQ(made.pairingCode().size(), 6);

    // The advertisement follows the code.
    const auto advertisedCode = [&]() -> std::optional<QString> {
        std::scoped_lock lock(registrations->mutex);
        if (registrations->registrations.empty()) {
            return std::nullopt;
        }
        for (const TXTRecordEntry& entry : registrations->registrations.back().txtRecord) {
            if (entry.key == u"pairingCode") {
                return entry.value;
            }
        }
        return std::nullopt;
    };
    EXPECT_TRUE(waitUntil([&] { return advertisedCode() == made.pairingCode(); }))
        << advertisedCode().value_or(QStringLiteral("none")).toStdString();
}

TEST_F(QuorixMacServerControllerTest, aPortInUseLeavesItStoppedWithTheErrorUntilAStartWorks) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::Any, 0));
    QuorixMacServerController& made = makeController(occupant.serverPort());

    made.start();
    EXPECT_FALSE(made.isRunning());
    EXPECT_FALSE(made.port());
    EXPECT_TRUE(made.pairingCode().isEmpty());
    ASSERT_TRUE(made.lastError());
    EXPECT_TRUE(made.lastError()->startsWith(u"The WebSocket listener failed: "))
        << made.lastError()->toStdString();
    // A failed start is not a synchronisation event.
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホ未同期");
    made.syncEditorLayoutToConnectedIPhones();
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "受け取りが起動していません");

    occupant.close();
    made.start();
    EXPECT_TRUE(made.isRunning());
    EXPECT_FALSE(made.lastError());
}

TEST_F(QuorixMacServerControllerTest, everyAuthenticatedPhoneCompletesPairing) {
    WebSocketTestClient first;
    QuorixMacServerController& made = startWithPhone(first);
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホと接続しました");

    // A phone coming back with its token counts as well.
    const std::optional<std::string> token = [&] {
        WebSocketTestClient other;
        EXPECT_TRUE(other.open(*made.port()));
        made.refreshPairingCode();
        return other.pair(made.pairingCode().toStdString());
    }();
    ASSERT_TRUE(token);
    EXPECT_TRUE(waitUntil([&] { return pairingsCompleted == 2; }));

    WebSocketTestClient returning;
    ASSERT_TRUE(returning.open(*made.port()));
    returning.send({QuorixClientMessage::AuthResume{*token}});
    const std::optional<QuorixServerMessage> answer = nextMessage(returning);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(std::holds_alternative<QuorixServerMessage::AuthSuccess>(answer->value));
    EXPECT_TRUE(waitUntil([&] { return pairingsCompleted == 3; }));
}

TEST_F(QuorixMacServerControllerTest, editsInQuickSuccessionAreSentOnceAfterTheyPause) {
    WebSocketTestClient phone;
    QuorixMacServerController& made = startWithPhone(phone);

    Clock::time_point lastEdit;
    for (int edit = 0; edit < 10; ++edit) {
        made.editorState().addPage();
        lastEdit = Clock::now();
        pump(100ms);
    }
    const auto sent = nextLayoutChanged(phone);
    ASSERT_TRUE(sent);
    EXPECT_GE(sent->second - lastEdit, QuorixMacServerController::editSyncDelay - timerEarliness);
    EXPECT_LE(sent->second - lastEdit, QuorixMacServerController::editSyncDelay + timerSlack);
    EXPECT_EQ(sent->first.pages.size(), 11U);
    EXPECT_EQ(sent->first, made.editorState().layout());

    EXPECT_FALSE(nextLayoutChanged(phone, 700ms)) << "a second send for the same edits";
    EXPECT_FALSE(made.editorState().pendingSyncLayout());
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホへ自動同期しました");
    EXPECT_EQ(made.editorState().syncStatusText().toStdString(), "スマホへ自動同期しました");
}

TEST_F(QuorixMacServerControllerTest, anEditWithoutPhoneStaysPendingUntilAPhoneCanTakeIt) {
    QuorixMacServerController& made = makeController(freePort());
    made.start();
    ASSERT_TRUE(made.isRunning());

    made.editorState().addPage();
    ASSERT_TRUE(waitUntil([&] { return !made.hasPendingAutoSync(); }));
    EXPECT_EQ(made.lastSyncMessage().toStdString(),
              "スマホが接続されていません。スマホ側のKestraneを開いてください");
    ASSERT_TRUE(made.editorState().pendingSyncLayout());

    WebSocketTestClient phone;
    ASSERT_TRUE(phone.open(*made.port()));
    ASSERT_TRUE(phone.pair(made.pairingCode().toStdString()));
    ASSERT_TRUE(waitUntil([&] { return pairingsCompleted == 1; }));
    made.syncEditorLayoutToConnectedIPhones();
    const auto sent = nextLayoutChanged(phone);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->first.pages.size(), 2U);
    EXPECT_FALSE(made.editorState().pendingSyncLayout());
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホへ自動同期しました");
}

TEST_F(QuorixMacServerControllerTest, aPhoneLayoutIsRefusedWhileDifferentEditsArePending) {
    QuorixMacServerController& made = makeController(freePort());
    made.start();
    ASSERT_TRUE(made.isRunning());
    made.editorState().addPage();
    ASSERT_TRUE(waitUntil([&] { return !made.hasPendingAutoSync(); }));
    const LayoutRecord desktops = *made.editorState().pendingSyncLayout();

    WebSocketTestClient phone;
    ASSERT_TRUE(phone.open(*made.port()));
    ASSERT_TRUE(phone.pair(made.pairingCode().toStdString()));
    LayoutRecord phones = desktops;
    phones.pages.pop_back();
    phone.send({QuorixClientMessage::LayoutUpdate{phones}});

    // The session echoes the phone's layout first; the desktop's follows after the delay.
    const auto echo = nextLayoutChanged(phone);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->first, phones);
    ASSERT_TRUE(waitUntil([&] { return made.hasReceivedIPhoneLayout(); }));
    const auto refusedAt = Clock::now();
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "パソコン側の未送信変更を保持しています");
    EXPECT_EQ(made.editorState().layout(), desktops);

    const auto sentBack = nextLayoutChanged(phone);
    ASSERT_TRUE(sentBack);
    EXPECT_EQ(sentBack->first, desktops);
    EXPECT_LE(sentBack->second - refusedAt,
              QuorixMacServerController::refusedLayoutSyncDelay + timerSlack);
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホへ自動同期しました");
    EXPECT_FALSE(made.editorState().pendingSyncLayout());
}

TEST_F(QuorixMacServerControllerTest, aPhoneLayoutEqualToThePendingOneIsAdopted) {
    QuorixMacServerController& made = makeController(freePort());
    made.start();
    ASSERT_TRUE(made.isRunning());
    made.editorState().addPage();
    ASSERT_TRUE(waitUntil([&] { return !made.hasPendingAutoSync(); }));
    const LayoutRecord pending = *made.editorState().pendingSyncLayout();

    WebSocketTestClient phone;
    ASSERT_TRUE(phone.open(*made.port()));
    ASSERT_TRUE(phone.pair(made.pairingCode().toStdString()));
    phone.send({QuorixClientMessage::LayoutUpdate{pending}});

    ASSERT_TRUE(waitUntil([&] { return made.hasReceivedIPhoneLayout(); }));
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホの現在の配置を読み込みました");
    EXPECT_EQ(made.editorState().layout(), pending);
    EXPECT_FALSE(made.hasPendingAutoSync());

    // A restart forgets that a phone sent its layout.
    made.start();
    EXPECT_FALSE(made.hasReceivedIPhoneLayout());
}

TEST_F(QuorixMacServerControllerTest, stopCancelsAPendingSend) {
    WebSocketTestClient phone;
    QuorixMacServerController& made = startWithPhone(phone);

    made.editorState().addPage();
    ASSERT_TRUE(made.hasPendingAutoSync());
    made.stop();
    EXPECT_FALSE(made.hasPendingAutoSync());

    pump(QuorixMacServerController::editSyncDelay + 300ms);
    // Had the send still run, it would have found no server and said so.
    EXPECT_EQ(made.lastSyncMessage().toStdString(), "スマホと接続しました");
    EXPECT_TRUE(made.editorState().pendingSyncLayout());
    EXPECT_TRUE(phone.waitForDisconnect());
}

TEST_F(QuorixMacServerControllerTest, callbacksAfterTheControllerIsGoneDoNothing) {
    WebSocketTestClient phone;
    QuorixMacServerController& made = startWithPhone(phone);
    LayoutRecord layout = made.editorState().layout();
    phone.send({QuorixClientMessage::LayoutUpdate{layout}});
    // The echo proves the server has handed the layout on before the controller goes.
    ASSERT_TRUE(phone.readMessage());
    controller.reset();
    pump(200ms);
}

} // namespace
} // namespace quorix
