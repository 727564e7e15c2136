#include "QuorixMacCore/Transport/SerialQueue.h"

#include <QThread>

#include <gtest/gtest.h>
#include <thread>

namespace quorix {
namespace {

TEST(SerialQueue, runsWhatWasPostedBeforeItEndsAndNothingAfter) {
    std::vector<int> ran;
    bool postedWhileEnding = true;
    SerialQueue::Handle handle;
    {
        SerialQueue queue(QStringLiteral("test.queue"));
        handle = queue.handle();
        QString thread;
        queue.sync([&] {
            thread = handle.isCurrent() ? QThread::currentThread()->objectName() : QString();
        });
        EXPECT_EQ(thread, QStringLiteral("test.queue"));

        // Holds the queue until it has begun to end, so that the rest is still waiting then.
        EXPECT_TRUE(handle.post([&] {
            while (handle.post([] {})) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(handle.post([&, i] { ran.push_back(i); }));
        }
        EXPECT_TRUE(
            handle.post([&] { postedWhileEnding = handle.post([&] { ran.push_back(9); }); }));
    }
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(postedWhileEnding);

    // A handle that outlives its queue does nothing.
    EXPECT_FALSE(handle.post([&] { ran.push_back(10); }));
    EXPECT_FALSE(handle.isCurrent());
    EXPECT_EQ(ran.size(), 3u);
}

} // namespace
} // namespace quorix
