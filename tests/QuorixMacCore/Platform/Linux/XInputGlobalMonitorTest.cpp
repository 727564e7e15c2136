#include "QuorixMacCore/Platform/Linux/XInputGlobalMonitor.h"

#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"
#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacCore/Support/XKeyReceiver.h"
#include "QuorixMacCore/Support/XvfbServer.h"

#include <gtest/gtest.h>

// Last: Xlib's macros (None, Bool) clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace quorix {
namespace {

constexpr std::uint16_t leftOption = 58;
constexpr std::uint16_t rightControl = 62;
constexpr std::uint16_t escape = 53;
constexpr std::uint16_t keyA = 0;

// Events are written down as text, so one comparison shows everything that arrived.
class RecordingMonitor {
public:
    explicit RecordingMonitor(const std::string& display)
        : monitor(display) {}

    bool start() {
        return monitor.start({
            .modifierFlagsChanged =
                [this](const InputEvents::ModifierFlagsChanged& event) {
                    seen.push_back("flags " + std::to_string(event.keyCode) + " " +
                                   std::to_string(event.flags));
                },
            .keyDown =
                [this](const InputEvents::KeyDown& event) {
                    seen.push_back("key " + std::to_string(event.keyCode) + " " +
                                   std::to_string(event.flags));
                },
            .mouseDown =
                [this](const InputEvents::MouseDown& event) {
                    seen.push_back("mouse " + std::to_string(static_cast<int>(event.button)) +
                                   " at " + std::to_string(qRound(event.globalPosition.x())) + "," +
                                   std::to_string(qRound(event.globalPosition.y())));
                },
            .scroll =
                [this](const InputEvents::Scroll& event) {
                    seen.push_back("scroll " + std::to_string(qRound(event.deltaX)) + "," +
                                   std::to_string(qRound(event.deltaY)));
                },
        });
    }

    bool waitFor(std::size_t count) {
        return testing::waitUntil([&] { return seen.size() >= count; });
    }

    XInputGlobalMonitor monitor;
    std::vector<std::string> seen;
};

class XInputGlobalMonitorOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isRunning()) << server.failure();
        // Another client holds the focus: the monitor must see past it.
        receiver = std::make_unique<test::XKeyReceiver>(server.displayName());
        ASSERT_TRUE(receiver->isReady());
        display = XOpenDisplay(server.displayName().c_str());
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        if (display) {
            XCloseDisplay(display);
        }
    }

    void key(std::uint16_t virtualKey, bool down) {
        const auto event = poster.createKeyboardEvent(virtualKey, down, 0);
        ASSERT_TRUE(event) << virtualKey;
        poster.post(*event, EventTapLocation::hid);
    }
    void button(unsigned number) {
        XTestFakeMotionEvent(display, 0, 300, 200, CurrentTime);
        XTestFakeButtonEvent(display, number, True, CurrentTime);
        XTestFakeButtonEvent(display, number, False, CurrentTime);
        XFlush(display);
    }

    test::XvfbServer server;
    std::unique_ptr<test::XKeyReceiver> receiver;
    Display* display = nullptr;
    XTestEventPoster poster{server.displayName()};
};

TEST_F(XInputGlobalMonitorOnXvfb, reportsModifiersEscapeClicksAndWheelsOfOtherClients) {
    RecordingMonitor recorder(server.displayName());
    ASSERT_TRUE(recorder.start());
    key(leftOption, true);
    key(keyA, true);
    key(keyA, false);
    key(escape, true);
    key(escape, false);
    key(rightControl, true);
    key(leftOption, false);
    key(rightControl, false);
    button(1);
    button(3);
    button(2);
    button(4);
    button(7);
    ASSERT_TRUE(recorder.waitFor(10)) << ::testing::PrintToString(recorder.seen);
    const std::string option = std::to_string(ModifierFlags::option);
    const std::string control = std::to_string(ModifierFlags::control);
    const std::string both = std::to_string(ModifierFlags::option | ModifierFlags::control);
    // Typed letters never reach the handlers; Escape does, with the modifiers held.
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{
                                 "flags 58 " + option,
                                 "key 53 " + option,
                                 "flags 62 " + both,
                                 "flags 58 " + control,
                                 "flags 62 0",
                                 "mouse 0 at 300,200",
                                 "mouse 1 at 300,200",
                                 "mouse 2 at 300,200",
                                 "scroll 0,1",
                                 "scroll -1,0",
                             }));

    recorder.monitor.stop();
    EXPECT_FALSE(recorder.monitor.isRunning());
    key(leftOption, true);
    key(leftOption, false);
    // Whatever the server sent to the closed connection is gone with it.
    testing::drainEvents();
    EXPECT_EQ(recorder.seen.size(), 10u);
}

TEST_F(XInputGlobalMonitorOnXvfb, aModifierHeldWhenWatchingStartsCountsAsHeld) {
    key(rightControl, true);
    RecordingMonitor recorder(server.displayName());
    ASSERT_TRUE(recorder.start());
    key(leftOption, true);
    key(rightControl, false);
    key(leftOption, false);
    ASSERT_TRUE(recorder.waitFor(3));
    EXPECT_EQ(recorder.seen[0],
              "flags 58 " + std::to_string(ModifierFlags::option | ModifierFlags::control));
}

TEST(XInputGlobalMonitor, withoutADisplayItDoesNotStart) {
    XInputGlobalMonitor monitor(":65000");
    EXPECT_FALSE(monitor.start({}));
    EXPECT_FALSE(monitor.isRunning());
}

TEST(XInputGlobalMonitor, wheelsStepByLinesAndSmoothDevicesByPixels) {
    struct Case {
        int button;
        double x;
        double y;
    };
    for (const Case& test : {Case{4, 0, 1}, Case{5, 0, -1}, Case{6, 1, 0}, Case{7, -1, 0}}) {
        const auto scroll = XInputGlobalMonitor::wheelButtonScroll(test.button);
        ASSERT_TRUE(scroll);
        EXPECT_EQ(scroll->deltaX, test.x);
        EXPECT_EQ(scroll->deltaY, test.y);
        EXPECT_FALSE(scroll->hasPreciseDeltas);
    }
    EXPECT_FALSE(XInputGlobalMonitor::wheelButtonScroll(1));
    EXPECT_FALSE(XInputGlobalMonitor::wheelButtonScroll(8));

    constexpr double step = XInputGlobalMonitor::pixelsPerScrollStep;
    // Half a step down, one step right, and a device whose axis runs the other way.
    const auto down = XInputGlobalMonitor::smoothScroll({false, 15}, 7.5);
    EXPECT_EQ(down.deltaY, -step / 2);
    EXPECT_EQ(down.deltaX, 0);
    EXPECT_TRUE(down.hasPreciseDeltas);
    EXPECT_EQ(XInputGlobalMonitor::smoothScroll({true, 1}, 1).deltaX, -step);
    EXPECT_EQ(XInputGlobalMonitor::smoothScroll({false, -1}, 1).deltaY, step);
}

} // namespace
} // namespace quorix
