#include "QuorixMacCore/Support/HeldMemory.h"
#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QSemaphore>
#include <QThreadPool>

#include <atomic>
#include <gtest/gtest.h>

namespace quorix {
namespace {

using namespace std::chrono_literals;
using testing::maskedClientFrame;
using testing::WebSocketServerHarness;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

const QByteArray closeFrame("\x88\x00", 2);

// Limits reached in a moment; no limit but the one a case is about can end a connection
// while the test waits.
constexpr WebSocketLimits roomyLimits{.maxHandshakeBytes = 1024,
                                      .handshakeTimeout = 1h,
                                      .authenticationTimeout = 1h,
                                      .maxUnauthenticatedMessageBytes = 1024,
                                      .maxMessageBytes = 256 * 1024,
                                      .frameStallTimeout = 1h,
                                      .maxConnections = 4};

QByteArray encoded(const Client& message) {
    return QByteArray::fromStdString(ProtocolJSON::encode(message).value());
}

/// A layout whose one button carries a custom icon of `iconBytes` bytes.
LayoutRecord layoutWithIcon(std::size_t iconBytes) {
    LayoutRecord layout = testing::layoutNamed("写真");
    layout.pages[0].buttons.push_back({UUID::random(), 0, IconRef::custom(Bytes(iconBytes, 0x5A)),
                                       ColorGradient{"#000000", "#ffffff", 90},
                                       ActionSpec::launchApp("org.example.viewer")});
    return layout;
}

/// The frames at the front of `bytes`; stops at the first that is incomplete or unreadable.
std::vector<WebSocketFrame> framesIn(QByteArrayView bytes) {
    std::vector<WebSocketFrame> frames;
    while (const auto parsed = WebSocketFrameCodec::parseFrame(bytes)) {
        frames.push_back(parsed->frame);
        bytes = bytes.sliced(parsed->consumed);
    }
    return frames;
}

/// A server with a paired phone, made afresh for each abuse.
class Receiver {
public:
    explicit Receiver(testing::WebSocketServerSetup setup)
        : harness(std::move(setup)) {
        port = harness.start();
        if (port != 0 && phone.open(port)) {
            token = phone.pair(harness.issueCode()).value_or(std::string());
        }
    }

    bool started() const { return !token.empty(); }

    /// The paired phone gets its answers, and a phone that connects anew gets in.
    void expectPhonesServed() {
        testing::expectServed(phone);
        WebSocketTestClient newcomer;
        ASSERT_TRUE(newcomer.open(port));
        EXPECT_EQ(newcomer.exchange({Client::AuthResume{token}}),
                  (Server{Server::AuthSuccess{token, "Test Desk", DeviceType::mac}}));
    }

    bool waitForSessions(std::size_t count) {
        return testing::waitUntil([&] { return harness.server->sessionCount() == count; });
    }

    WebSocketServerHarness harness;
    std::uint16_t port = 0;
    WebSocketTestClient phone;
    std::string token;
};

TEST(WebSocketLimits, eachClosesOnlyTheAbuserWhilePhonesGetInAndMemoryIsGivenBack) {
    struct Abuse {
        const char* name;
        WebSocketLimits limits;
        bool pairsFirst;
        std::function<void(Receiver&, WebSocketTestClient&)> act;
    };
    WebSocketLimits shortAuthentication = roomyLimits;
    shortAuthentication.authenticationTimeout = 300ms;
    WebSocketLimits shortStall = roomyLimits;
    shortStall.frameStallTimeout = 300ms;
    const QByteArray mask("\x01\x02\x03\x04", 4);

    const Abuse abuses[] = {
        {"stays silent after the handshake", shortAuthentication, false, {}},
        {"announces 60 MB before authenticating and sends it slowly", roomyLimits, false,
         [&](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendRaw(QByteArray("\x81\xFF\0\0\0\0\x03\x93\x87\0", 10) + mask);
             abuser.sendRaw(QByteArray(16 * 1024, 'x'));
         }},
        {"sends a message one byte over the limit before authenticating", roomyLimits, false,
         [](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendFrame(0x1, QByteArray(roomyLimits.maxUnauthenticatedMessageBytes + 1, '{'));
         }},
        {"sends a message one byte over the limit after authenticating", roomyLimits, true,
         [](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendFrame(0x2, QByteArray(roomyLimits.maxMessageBytes + 1, '{'));
         }},
        {"stops in the middle of a frame", shortStall, true,
         [](Receiver& receiver, WebSocketTestClient& abuser) {
             const QByteArray frame = maskedClientFrame(0x1, QByteArray(100 * 1024, ' '));
             abuser.sendRaw(frame.first(frame.size() / 2));
             receiver.expectPhonesServed();
         }},
        {"pings with 126 bytes", roomyLimits, false,
         [](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendFrame(0x9, QByteArray(126, 'p'));
         }},
        {"pings in fragments", roomyLimits, true,
         [&](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendRaw(QByteArray("\x09\x83", 2) + mask + "abc");
         }},
        {"pushes layouts and never reads the echoes", roomyLimits, true,
         [](Receiver& receiver, WebSocketTestClient& abuser) {
             abuser.socket().setReadBufferSize(1);
             const QByteArray push =
                 maskedClientFrame(0x1, encoded({Client::LayoutUpdate{layoutWithIcon(150'000)}}));
             ASSERT_LT(push.size(), roomyLimits.maxMessageBytes);
             // The kernel's buffers take some megabytes before anything waits in ours.
             for (int pushes = 0; receiver.harness.server->sessionCount() > 1; ++pushes) {
                 ASSERT_LT(pushes, 1000) << "the session was never closed";
                 abuser.sendRaw(push);
                 ASSERT_TRUE(testing::waitUntil([&] {
                     return abuser.socket().bytesToWrite() == 0 ||
                            receiver.harness.server->sessionCount() == 1;
                 }));
                 if (pushes == 3) {
                     receiver.expectPhonesServed();
                 }
             }
             abuser.socket().setReadBufferSize(0);
         }},
    };
    for (const Abuse& abuse : abuses) {
        SCOPED_TRACE(abuse.name);
        const std::size_t memoryBefore = testing::heldMemoryBytes();
        {
            Receiver receiver({.limits = abuse.limits});
            ASSERT_TRUE(receiver.started());
            WebSocketTestClient abuser;
            ASSERT_TRUE(abuser.open(receiver.port));
            if (abuse.pairsFirst) {
                ASSERT_TRUE(abuser.exchange({Client::AuthResume{receiver.token}}));
            }
            if (abuse.act) {
                abuse.act(receiver, abuser);
            }
            receiver.expectPhonesServed();
            ASSERT_TRUE(abuser.waitForDisconnect());
            // Whatever was on its way arrived whole, and the close frame after it.
            const std::vector<WebSocketFrame> frames = framesIn(abuser.buffer());
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames.back(), (WebSocketFrame{WebSocketOpcode::close, {}}));
            for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
                EXPECT_EQ(frames[i].opcode, WebSocketOpcode::text);
            }
            ASSERT_TRUE(receiver.waitForSessions(1));
            testing::expectServed(receiver.phone);
        }
        EXPECT_LE(testing::heldMemoryBytes(), memoryBefore + testing::heldMemorySlack);
    }
}

TEST(WebSocketLimits, connectionsThatNeverAuthenticateGiveTheirPlacesToPhones) {
    Receiver receiver({.limits = roomyLimits});
    ASSERT_TRUE(receiver.started());
    const Server resumed{Server::AuthSuccess{receiver.token, "Test Desk", DeviceType::mac}};
    // The phone holds one place; strangers take the others and never authenticate.
    std::vector<std::unique_ptr<WebSocketTestClient>> strangers;
    for (int i = 1; i < roomyLimits.maxConnections; ++i) {
        strangers.push_back(std::make_unique<WebSocketTestClient>());
        ASSERT_TRUE(strangers.back()->open(receiver.port));
    }

    // Each phone arriving now takes the place of the oldest stranger, who is told so.
    std::vector<std::unique_ptr<WebSocketTestClient>> phones;
    for (std::size_t oldest = 0; oldest + 1 < strangers.size(); ++oldest) {
        phones.push_back(std::make_unique<WebSocketTestClient>());
        ASSERT_TRUE(phones.back()->open(receiver.port));
        EXPECT_EQ(phones.back()->exchange({Client::AuthResume{receiver.token}}), resumed);
        EXPECT_TRUE(strangers[oldest]->waitForDisconnect()) << oldest;
        EXPECT_EQ(strangers[oldest]->buffer(), closeFrame) << oldest;
    }
    EXPECT_EQ(strangers.back()->exchange({Client::RequestState{}}),
              (Server{Server::AuthFailure{AuthFailureReason::notAuthenticated}}));

    // With every place a phone's, one more connection is closed at once.
    EXPECT_EQ(strangers.back()->exchange({Client::AuthResume{receiver.token}}), resumed);
    WebSocketTestClient extra;
    ASSERT_TRUE(extra.connectTo(receiver.port));
    EXPECT_TRUE(extra.waitForDisconnect());
    EXPECT_TRUE(extra.buffer().isEmpty());
    EXPECT_EQ(receiver.harness.server->sessionCount(), std::size_t(roomyLimits.maxConnections));
    for (const auto& phone : phones) {
        testing::expectServed(*phone);
    }
    testing::expectServed(receiver.phone);
}

TEST(WebSocketLimits, aLargeLayoutIsDecodedAsideInOrderAndItsMemoryGivenBack) {
    // The decoding pool's one worker is held, so the layout waits for it.
    QThreadPool decodingPool;
    decodingPool.setMaxThreadCount(1);
    QSemaphore worker;
    decodingPool.start([&worker] { worker.acquire(); });
    WebSocketLimits limits = roomyLimits;
    limits.maxMessageBytes = WebSocketFrameCodec::maxPayloadLength;
    std::atomic<int> memoryReturns = 0;

    const std::size_t memoryBefore = testing::heldMemoryBytes();
    {
        Receiver receiver({.limits = limits,
                           .decodingPool = &decodingPool,
                           .returnFreedMemory = [&memoryReturns] { ++memoryReturns; }});
        ASSERT_TRUE(receiver.started());
        WebSocketTestClient pusher;
        ASSERT_TRUE(pusher.open(receiver.port));
        ASSERT_TRUE(pusher.exchange({Client::AuthResume{receiver.token}}));
        {
            const LayoutRecord layout = layoutWithIcon(6 * 1024 * 1024);
            pusher.sendRaw(maskedClientFrame(0x1, encoded({Client::LayoutUpdate{layout}})) +
                           maskedClientFrame(0x1, encoded({Client::RequestState{}})));
            ASSERT_TRUE(testing::waitUntil([&] { return pusher.socket().bytesToWrite() == 0; }));
            // Other phones' actions do not wait for the layout.
            receiver.expectPhonesServed();

            // The pusher's messages are answered in the order they came.
            worker.release();
            EXPECT_EQ(pusher.readMessage(), Server{Server::LayoutChanged{layout}});
            EXPECT_EQ(pusher.readMessage(), Server{Server::AppsList{}});
            EXPECT_EQ(receiver.harness.takeReceivedLayouts(), std::vector{layout});
        }
        // Once no more large messages come, the memory they used is given back.
        EXPECT_TRUE(testing::waitUntil([&] { return memoryReturns == 1; }));
        testing::expectServed(receiver.phone);
    }
    EXPECT_LE(testing::heldMemoryBytes(), memoryBefore + testing::heldMemorySlack);
    EXPECT_EQ(memoryReturns, 1);
}

} // namespace
} // namespace quorix
