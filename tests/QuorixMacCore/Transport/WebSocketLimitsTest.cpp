#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QSemaphore>
#include <QThreadPool>

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <malloc.h>

#ifdef __SANITIZE_ADDRESS__
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace quorix {
namespace {

using namespace std::chrono_literals;
using testing::maskedClientFrame;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

// Limits reached in a moment; no limit but the one a case is about ends a connection while
// the test waits.
constexpr WebSocketLimits roomyLimits{.maxHandshakeBytes = 1024,
                                      .handshakeTimeout = 1h,
                                      .authenticationTimeout = 1h,
                                      .maxUnauthenticatedMessageBytes = 1024,
                                      .maxMessageBytes = 256 * 1024,
                                      .frameStallTimeout = 1h,
                                      .maxConnections = 4};

// What a case may leave held beyond where it started.
constexpr std::size_t memorySlack = 10 * 1024 * 1024;

/// Resident memory once the heap has given back what it can; under AddressSanitizer, whose
/// quarantine keeps freed memory resident, the bytes its allocator has handed out instead.
std::size_t heldMemory() {
#ifdef __SANITIZE_ADDRESS__
    return __sanitizer_get_current_allocated_bytes();
#else
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stoull(line.substr(6)) * 1024;
        }
    }
    return 0;
#endif
}

QByteArray encoded(const Client& message) {
    return QByteArray::fromStdString(ProtocolJSON::encode(message).value());
}

LayoutRecord layoutWithIcon(std::size_t iconBytes) {
    LayoutRecord layout = testing::layoutNamed("写真");
    layout.pages[0].buttons.push_back({UUID::random(),
                                       0,
                                       IconRef::custom(Bytes(iconBytes, 0x5A)),
                                       {"#000000", "#ffffff", 90},
                                       ActionSpec::launchApp("a")});
    return layout;
}

/// A server with a paired phone.
struct Receiver : testing::WebSocketServerHarness {
    explicit Receiver(testing::WebSocketServerSetup setup)
        : WebSocketServerHarness(std::move(setup)) {
        port = start();
        token = port != 0 && phone.open(port) ? phone.pair(issueCode()).value_or("") : "";
    }
    std::size_t sessions() const { return server->sessionCount(); }

    /// The paired phone gets its answers, and a phone that connects anew gets in.
    void expectPhonesServed() {
        testing::expectServed(phone);
        WebSocketTestClient newcomer;
        ASSERT_TRUE(newcomer.open(port));
        EXPECT_EQ(newcomer.exchange({Client::AuthResume{token}}), resumed());
    }
    Server resumed() const { return {Server::AuthSuccess{token, "Test Desk", DeviceType::mac}}; }

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
    const Abuse abuses[] = {
        {"stays silent after the handshake", shortAuthentication, false, {}},
        {"announces 60 MB before authenticating and sends it slowly", roomyLimits, false,
         [](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendRaw(QByteArray("\x81\xFF\0\0\0\0\x03\x93\x87\0\1\2\3\4", 14));
             abuser.sendRaw(QByteArray(16 * 1024, 'x'));
         }},
        {"sends a message one byte over the limit after authenticating", roomyLimits, true,
         [](Receiver&, WebSocketTestClient& abuser) {
             abuser.sendFrame(0x2, QByteArray(roomyLimits.maxMessageBytes + 1, '{'));
         }},
        {"stops in the middle of a frame", shortStall, true,
         [](Receiver& receiver, WebSocketTestClient& abuser) {
             abuser.sendRaw(maskedClientFrame(0x1, QByteArray(100'000, ' ')).first(50'000));
             receiver.expectPhonesServed();
         }},
        {"pushes layouts and never reads the echoes", roomyLimits, true,
         [](Receiver& receiver, WebSocketTestClient& abuser) {
             abuser.socket().setReadBufferSize(1);
             const QByteArray push =
                 maskedClientFrame(0x1, encoded({Client::LayoutUpdate{layoutWithIcon(150'000)}}));
             // The system's buffers take some megabytes before anything waits in ours.
             for (int pushes = 0; receiver.sessions() > 1; ++pushes) {
                 ASSERT_LT(pushes, 1000) << "never closed";
                 abuser.sendRaw(push);
                 ASSERT_TRUE(testing::waitUntil([&] {
                     return abuser.socket().bytesToWrite() == 0 || receiver.sessions() == 1;
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
        const std::size_t memoryBefore = heldMemory();
        {
            Receiver receiver({.limits = abuse.limits});
            ASSERT_FALSE(receiver.token.empty());
            WebSocketTestClient abuser;
            ASSERT_TRUE(abuser.open(receiver.port));
            if (abuse.pairsFirst) {
                ASSERT_EQ(abuser.exchange({Client::AuthResume{receiver.token}}),
                          receiver.resumed());
            }
            if (abuse.act) {
                abuse.act(receiver, abuser);
            }
            receiver.expectPhonesServed();
            // What was on its way arrives whole, and a close frame after it.
            ASSERT_TRUE(abuser.waitForDisconnect());
            QByteArrayView rest = abuser.buffer();
            std::optional<ParsedWebSocketFrame> frame;
            while ((frame = WebSocketFrameCodec::parseFrame(rest)) &&
                   frame->frame.opcode == WebSocketOpcode::text) {
                rest = rest.sliced(frame->consumed);
            }
            EXPECT_EQ(rest, QByteArrayView("\x88\x00", 2));
            EXPECT_TRUE(testing::waitUntil([&] { return receiver.sessions() == 1; }));
            testing::expectServed(receiver.phone);
        }
        EXPECT_LE(heldMemory(), memoryBefore + memorySlack);
    }
}

TEST(WebSocketLimits, connectionsThatNeverAuthenticateGiveTheirPlacesToPhones) {
    Receiver receiver({.limits = roomyLimits});
    ASSERT_FALSE(receiver.token.empty());
    std::vector<std::unique_ptr<WebSocketTestClient>> strangers(roomyLimits.maxConnections - 1);
    for (auto& stranger : strangers) {
        stranger = std::make_unique<WebSocketTestClient>();
        ASSERT_TRUE(stranger->open(receiver.port));
    }
    // Each phone arriving now takes the place of the oldest stranger, who is told so.
    std::vector<std::unique_ptr<WebSocketTestClient>> phones;
    for (std::size_t oldest = 0; oldest + 1 < strangers.size(); ++oldest) {
        phones.push_back(std::make_unique<WebSocketTestClient>());
        ASSERT_TRUE(phones.back()->open(receiver.port));
        EXPECT_EQ(phones.back()->exchange({Client::AuthResume{receiver.token}}),
                  receiver.resumed());
        EXPECT_TRUE(strangers[oldest]->waitForDisconnect());
        EXPECT_EQ(strangers[oldest]->buffer(), QByteArray("\x88\x00", 2));
    }
    // The youngest stranger is still served; once it authenticates every place is a phone's,
    // and one more connection is closed at once.
    EXPECT_EQ(strangers.back()->exchange({Client::AuthResume{receiver.token}}), receiver.resumed());
    WebSocketTestClient extra;
    ASSERT_TRUE(extra.connectTo(receiver.port));
    EXPECT_TRUE(extra.waitForDisconnect());
    EXPECT_TRUE(extra.buffer().isEmpty());
    EXPECT_EQ(receiver.sessions(), std::size_t(roomyLimits.maxConnections));
    testing::expectServed(*phones.front());
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

    const std::size_t memoryBefore = heldMemory();
    {
        Receiver receiver({.limits = limits,
                           .decodingPool = &decodingPool,
                           .returnFreedMemory = [&memoryReturns] { ++memoryReturns; }});
        WebSocketTestClient pusher;
        ASSERT_TRUE(pusher.open(receiver.port));
        ASSERT_EQ(pusher.exchange({Client::AuthResume{receiver.token}}), receiver.resumed());
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
            EXPECT_EQ(receiver.takeReceivedLayouts(), std::vector{layout});
        }
        // Once no more large messages come, the memory they used is given back.
        EXPECT_TRUE(testing::waitUntil([&] { return memoryReturns == 1; }));
    }
    EXPECT_LE(heldMemory(), memoryBefore + memorySlack);
}

} // namespace
} // namespace quorix
