#include "QuorixMacCore/Transport/SerialQueue.h"

#include <QSemaphore>
#include <QThread>

#include <gtest/gtest.h>
#include <thread>

namespace quorix {
namespace {

TEST(SerialQueue, runsWhatWasPostedBeforeItEndsAndNothingAfter) {
    std::vector<int> ran;
    QStringList threads;
    bool postedWhileEnding = true;
    SerialQueue::Handle handle;
    QSemaphore gate;
    std::jthread opener;
    {
        SerialQueue queue(QStringLiteral("test.queue"));
        handle = queue.handle();
        bool current = false;
        queue.sync([&] { current = handle.isCurrent(); });
        EXPECT_TRUE(current);

        // Held until the queue has begun to end, so that the rest is still waiting then.
        EXPECT_TRUE(handle.post([&gate] { gate.acquire(); }));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(handle.post([&, i] {
                ran.push_back(i);
                threads.append(QThread::currentThread()->objectName());
            }));
        }
        EXPECT_TRUE(
            handle.post([&] { postedWhileEnding = handle.post([&] { ran.push_back(9); }); }));
        opener = std::jthread([&] {
            while (handle.post([] {})) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            gate.release();
        });
    }
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(threads, QStringList(3, QStringLiteral("test.queue")));
    EXPECT_FALSE(postedWhileEnding);

    // A handle that outlives its queue does nothing.
    EXPECT_FALSE(handle.post([&] { ran.push_back(10); }));
    EXPECT_FALSE(handle.isCurrent());
    EXPECT_EQ(ran.size(), 3u);
}

} // namespace
} // namespace quorix
