#include "QuorixMacCore/Control/QuorixMacServerController.h"

#include "QuorixMacCore/Pairing/PairingTokenStore.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/WebSocketServerHarness.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

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

/// The next `layout_changed` and when it came, running the main thread's events meanwhile;
/// other messages are skipped.
std::optional<std::pair<LayoutRecord, Clock::time_point>>
nextLayoutChanged(WebSocketTestClient& client, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const std::optional<QuorixServerMessage> message = client.readMessage(5ms);
        const auto* changed =
            message ? std::get_if<QuorixServerMessage::LayoutChanged>(&message->value) : nullptr;
        if (changed != nullptr) {
            return std::pair(changed->layout, Clock::now());
        }
    }
    return std::nullopt;
}

class QuorixMacServerControllerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(directory.isValid()); }

    MacEditorLayoutStore layoutStore() {
        return MacEditorLayoutStore(
            defaults, QString(MacEditorLayoutStore::defaultKey),
            std::make_shared<RootedApplicationDirectories>(directory.path()));
    }

    QuorixMacServerController&
    makeController(std::uint16_t port,
                   const std::function<void(QuorixMacServerController::Options&)>& adjust = {}) {
        QuorixMacServerController::Options options;
        options.makeTokenStore = [tokens = tokens] { return tokens; };
        options.makeActionExecutor = [] {
            return std::make_shared<testing::ControllableActionExecutor>();
        };
        options.serverOptions.makeServiceRegistrar = [log = announced] {
            return std::make_unique<testing::RecordingRegistrar>(log);
        };
        options.editorStateOptions.clock = wholeSecondsNow;
        options.webIconResolver = webIcons;
        if (adjust) {
            adjust(options);
        }
        controller = std::make_unique<QuorixMacServerController>(QStringLiteral("Test Desk"),
                                                                 layoutStore(), port, options);
        controller->setOnPairingCompleted([this] { ++pairingsCompleted; });
        return *controller;
    }

    /// Pairs `phone` with the running controller and waits until the controller knows.
    void pair(WebSocketTestClient& phone) {
        const int before = pairingsCompleted;
        ASSERT_TRUE(phone.open(*controller->port()));
        ASSERT_TRUE(phone.pair(controller->pairingCode().toStdString()));
        ASSERT_TRUE(waitUntil([&] { return pairingsCompleted == before + 1; }));
    }

    /// A running controller holding one edit that found no phone to take it.
    QuorixMacServerController& startWithUnsentEdit() {
        QuorixMacServerController& made = makeController(freePort());
        made.start();
        made.editorState().addPage();
        EXPECT_TRUE(waitUntil([&] { return !made.hasPendingAutoSync(); }));
        return made;
    }

    std::string status() const { return controller->lastSyncMessage().toStdString(); }

    QTemporaryDir directory;
    std::shared_ptr<testsupport::InMemoryUserDefaults> defaults =
        std::make_shared<testsupport::InMemoryUserDefaults>();
    std::shared_ptr<InMemoryPairingTokenStore> tokens =
        std::make_shared<InMemoryPairingTokenStore>();
    std::shared_ptr<testing::RegistrarLog> announced = std::make_shared<testing::RegistrarLog>();
    std::shared_ptr<NoWebIcons> webIcons = std::make_shared<NoWebIcons>();
    std::unique_ptr<QuorixMacServerController> controller;
    int pairingsCompleted = 0;
};

TEST_F(QuorixMacServerControllerTest, startsOnItsDefaultLayoutWhenNothingIsStored) {
    const LayoutRecord layout = makeController(freePort()).editorState().layout();
    ASSERT_EQ(layout.pages.size(), 1U);
    const PageRecord& page = layout.pages[0];
    EXPECT_EQ(std::tuple(page.name, page.order, page.gradient, page.gridColumns, page.gridRows),
              std::tuple("ページ 1", 0, GradientPreset::custom, 3, 5));
    EXPECT_TRUE(page.buttons.empty());
    EXPECT_EQ(controller->editorState().syncStatusText().toStdString(), "スマホ未同期");
    EXPECT_EQ(controller->editorState().webIconResolver(), webIcons);

    // The next run finds it stored and keeps it.
    controller.reset();
    EXPECT_EQ(makeController(freePort()).editorState().layout().id, layout.id);
}

TEST_F(QuorixMacServerControllerTest, startRestartAndStopPublishTheirState) {
    const std::uint16_t port = freePort();
    QuorixMacServerController& made = makeController(port);
    QSignalSpy running(&made, &QuorixMacServerController::isRunningChanged);

    // Refreshing the code of a stopped controller starts it.
    made.refreshPairingCode();
    ASSERT_TRUE(made.isRunning()) << made.lastError().value_or(QString()).toStdString();
    EXPECT_EQ(status(), "スマホ接続待ち");
    EXPECT_EQ(running.count(), 1);

    // A restart reopens the same port, and the old code no longer pairs.
    const std::string oldCode = made.pairingCode().toStdString();
    made.start();
    ASSERT_TRUE(made.isRunning());
    EXPECT_EQ(made.port(), port);
    WebSocketTestClient phone;
    ASSERT_TRUE(phone.open(port));
    EXPECT_EQ(phone.pair(oldCode).has_value(), made.pairingCode().toStdString() == oldCode);

    // A new code for the pairing window is advertised too.
    made.prepareFreshPairingCodeForDisplay();
    EXPECT_TRUE(waitUntil([&] {
        std::scoped_lock lock(announced->mutex);
        return !announced->registrations.empty() &&
               announced->registrations.back().txtRecord.back() ==
                   TXTRecordEntry{QStringLiteral("pairingCode"), made.pairingCode()};
    }));

    made.stop();
    EXPECT_FALSE(made.isRunning());
    EXPECT_TRUE(made.pairingCode().isEmpty());
    EXPECT_FALSE(WebSocketTestClient().connectTo(port));
    // Stopping what is stopped changes nothing, so nothing is announced.
    const qsizetype signalled = running.count();
    made.stop();
    EXPECT_EQ(running.count(), signalled);
}

TEST_F(QuorixMacServerControllerTest, aPortInUseLeavesItStoppedWithTheErrorUntilAStartWorks) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::Any, 0));
    QuorixMacServerController& made = makeController(occupant.serverPort());

    made.start();
    EXPECT_FALSE(made.isRunning());
    EXPECT_FALSE(made.port());
    EXPECT_TRUE(made.lastError().value_or(QString()).startsWith(u"The WebSocket listener failed: "))
        << made.lastError().value_or(QString()).toStdString();
    EXPECT_EQ(status(), "スマホ未同期");
    made.syncEditorLayoutToConnectedIPhones();
    EXPECT_EQ(status(), "受け取りが起動していません");

    occupant.close();
    made.start();
    EXPECT_TRUE(made.isRunning());
    EXPECT_FALSE(made.lastError());
}

TEST_F(QuorixMacServerControllerTest, everyAuthenticatedPhoneCompletesPairing) {
    makeController(freePort()).start();
    WebSocketTestClient first;
    ASSERT_TRUE(first.open(*controller->port()));
    const std::optional<std::string> token = first.pair(controller->pairingCode().toStdString());
    ASSERT_TRUE(token);
    ASSERT_TRUE(waitUntil([&] { return pairingsCompleted == 1; }));
    EXPECT_EQ(status(), "スマホと接続しました");

    // A phone coming back with its token counts as well.
    WebSocketTestClient returning;
    ASSERT_TRUE(returning.open(*controller->port()));
    returning.send({QuorixClientMessage::AuthResume{*token}});
    EXPECT_TRUE(waitUntil([&] { return pairingsCompleted == 2; }));
}

TEST_F(QuorixMacServerControllerTest,
       editsInQuickSuccessionAreSentOnceAfterTheyPauseUnlessStopped) {
    makeController(freePort()).start();
    WebSocketTestClient phone;
    pair(phone);

    Clock::time_point lastEdit;
    for (int edit = 0; edit < 10; ++edit) {
        controller->editorState().addPage();
        lastEdit = Clock::now();
        waitUntil([] { return false; }, 100ms);
    }
    const auto sent = nextLayoutChanged(phone);
    ASSERT_TRUE(sent);
    EXPECT_GE(sent->second - lastEdit, QuorixMacServerController::editSyncDelay - timerEarliness);
    EXPECT_LE(sent->second - lastEdit, QuorixMacServerController::editSyncDelay + timerSlack);
    EXPECT_EQ(sent->first.pages.size(), 11U);
    EXPECT_EQ(sent->first, controller->editorState().layout());

    // Nothing is left to send the same edits again.
    EXPECT_FALSE(controller->hasPendingAutoSync());
    EXPECT_FALSE(controller->editorState().pendingSyncLayout());
    EXPECT_EQ(status(), "スマホへ自動同期しました");

    // Stopping cancels the send of a further edit.
    controller->editorState().addPage();
    ASSERT_TRUE(controller->hasPendingAutoSync());
    controller->stop();
    EXPECT_FALSE(controller->hasPendingAutoSync());
    EXPECT_TRUE(controller->editorState().pendingSyncLayout());
    EXPECT_TRUE(phone.waitForDisconnect());
}

TEST_F(QuorixMacServerControllerTest, anUnsentEditRefusesADifferentPhoneLayoutAndIsSentBack) {
    QuorixMacServerController& made = startWithUnsentEdit();
    EXPECT_EQ(status(), "スマホが接続されていません。スマホ側のKestraneを開いてください");
    ASSERT_TRUE(made.editorState().pendingSyncLayout());
    const LayoutRecord desktops = *made.editorState().pendingSyncLayout();
    WebSocketTestClient phone;
    pair(phone);

    LayoutRecord phones = desktops;
    phones.pages.pop_back();
    phone.send({QuorixClientMessage::LayoutUpdate{phones}});
    // The session echoes the phone's layout at once; the desktop's follows after the delay.
    const auto echo = nextLayoutChanged(phone);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->first, phones);
    ASSERT_TRUE(waitUntil([&] { return made.hasReceivedIPhoneLayout(); }));
    const auto refusedAt = Clock::now();
    EXPECT_EQ(status(), "パソコン側の未送信変更を保持しています");
    EXPECT_EQ(made.editorState().layout(), desktops);

    const auto sentBack = nextLayoutChanged(phone);
    ASSERT_TRUE(sentBack);
    EXPECT_EQ(sentBack->first, desktops);
    EXPECT_LE(sentBack->second - refusedAt,
              QuorixMacServerController::refusedLayoutSyncDelay + timerSlack);
    EXPECT_EQ(status(), "スマホへ自動同期しました");
    EXPECT_FALSE(made.editorState().pendingSyncLayout());
}

TEST_F(QuorixMacServerControllerTest, aPhoneLayoutEqualToThePendingOneIsAdopted) {
    QuorixMacServerController& made = startWithUnsentEdit();
    const LayoutRecord pending = *made.editorState().pendingSyncLayout();
    WebSocketTestClient phone;
    pair(phone);

    phone.send({QuorixClientMessage::LayoutUpdate{pending}});
    ASSERT_TRUE(waitUntil([&] { return made.hasReceivedIPhoneLayout(); }));
    EXPECT_EQ(status(), "スマホの現在の配置を読み込みました");
    EXPECT_EQ(made.editorState().layout(), pending);
    EXPECT_FALSE(made.hasPendingAutoSync());

    // A restart forgets that a phone sent its layout.
    made.start();
    EXPECT_FALSE(made.hasReceivedIPhoneLayout());
}

TEST_F(QuorixMacServerControllerTest, secureTransportIsOptInKeepsItsIdentityAndFallsBackToPlain) {
    QTemporaryDir folder;
    const auto identity = TLSCertificateManager(folder.path()).loadOrCreateIdentity(QString());
    ASSERT_TRUE(identity);
    std::vector<Expected<TLSIdentityBundle, TLSCertificateError>> made{
        TLSCertificateError::opensslNotFound(), identity};
    std::size_t calls = 0;
    const auto withIdentities = [&](TransportSecurityMode mode) {
        return [&, mode](QuorixMacServerController::Options& options) {
            options.securityMode = mode;
            options.makeTLSIdentity = [&](const QString& commonName) {
                EXPECT_EQ(commonName, QStringLiteral("Test Desk"));
                return made.at(calls++);
            };
        };
    };

    makeController(freePort(), withIdentities(TransportSecurityMode::plaintextForLocalTesting))
        .start();
    EXPECT_EQ(calls, 0U);

    // Without an identity the receiver still runs, plain, and says why.
    makeController(freePort(), withIdentities(TransportSecurityMode::secureSelfSigned)).start();
    EXPECT_EQ(controller->lastError(), TLSCertificateError::opensslNotFound().description());
    EXPECT_TRUE(controller->fingerprint().isEmpty());
    WebSocketTestClient plainPhone;
    pair(plainPhone);

    // The next start makes the identity and speaks TLS; later starts keep it.
    for (int start = 0; start < 2; ++start) {
        controller->start();
        EXPECT_EQ(calls, 2U);
        EXPECT_FALSE(controller->lastError());
        EXPECT_EQ(controller->fingerprint(), identity->fingerprintSHA256);
        WebSocketTestClient phone;
        ASSERT_TRUE(phone.connectEncrypted(*controller->port()));
        EXPECT_EQ(static_cast<QSslSocket&>(phone.socket()).peerCertificate(),
                  identity->certificate);
        ASSERT_TRUE(phone.handshake());
        EXPECT_TRUE(phone.pair(controller->pairingCode().toStdString()));
    }
}

TEST_F(QuorixMacServerControllerTest, whatAPhoneSentBeforeAStopNeverReachesTheNextRun) {
    QuorixMacServerController& made = makeController(freePort());
    made.start();
    const LayoutRecord before = made.editorState().layout();
    WebSocketTestClient phone;
    ASSERT_TRUE(phone.open(*made.port()));
    ASSERT_TRUE(phone.pair(made.pairingCode().toStdString()));
    // The session echoes a layout after handing it on, so both callbacks are queued for
    // this thread once the echo is here.
    LayoutRecord phones = before;
    phones.pages.push_back(phones.pages.front());
    phones.pages.back().id = UUID::random();
    EXPECT_EQ(phone.exchange({QuorixClientMessage::LayoutUpdate{phones}}),
              QuorixServerMessage{QuorixServerMessage::LayoutChanged{phones}});

    made.stop();
    made.start();
    testing::drainEvents();
    EXPECT_FALSE(made.hasReceivedIPhoneLayout());
    EXPECT_EQ(status(), "スマホ接続待ち");
    EXPECT_EQ(made.editorState().layout(), before);
    EXPECT_EQ(pairingsCompleted, 0);
}

} // namespace
} // namespace quorix
