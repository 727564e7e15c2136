#include "QuorixMacApp/SingleInstance.h"

#include "QuorixMacCore/Support/Waiting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QTemporaryDir>

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace quorix {
namespace {

using Outcome = SingleInstance::Outcome;
using namespace std::chrono_literals;

// A later start, in a thread of its own as in a process of its own: it waits for the
// answer while the running one's event loop must keep going.
Outcome claimElsewhere(const QString& directory, std::chrono::milliseconds timeout) {
    auto outcome = std::async(std::launch::async, [&] {
        SingleInstance later(directory);
        return later.claim(timeout);
    });
    EXPECT_TRUE(
        testing::waitUntil([&] { return outcome.wait_for(0s) == std::future_status::ready; }));
    return outcome.get();
}

TEST(SingleInstance, aLaterStartAsksTheRunningOneToShowItself) {
    QTemporaryDir runtime;
    const QString folder = runtime.filePath(QStringLiteral("run"));
    SingleInstance running(folder);
    ASSERT_EQ(running.claim(), Outcome::primary) << running.failure().toStdString();
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    int reopens = 0;
    QObject::connect(&running, &SingleInstance::reopenRequested, [&] { ++reopens; });

    EXPECT_EQ(claimElsewhere(folder, 10s), Outcome::reopenedRunning);
    EXPECT_TRUE(testing::waitUntil([&] { return reopens == 1; }));
    EXPECT_EQ(claimElsewhere(folder, 10s), Outcome::reopenedRunning);
    EXPECT_TRUE(testing::waitUntil([&] { return reopens == 2; }));
}

TEST(SingleInstance, aCrashedRunsLockAndSocketAreTakenOver) {
    QTemporaryDir runtime;
    // What a run that crashed leaves: a lock naming a process that is gone, and a socket
    // file nobody listens on.
    QFile lock(runtime.filePath(QStringLiteral("kestrane.lock")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("2147483646\nkestrane\n\n");
    lock.close();
    {
        QLocalServer leftOver;
        leftOver.setSocketOptions(QLocalServer::UserAccessOption);
        ASSERT_TRUE(leftOver.listen(runtime.filePath(QStringLiteral("kestrane.socket"))));
        leftOver.close();
    }
    QFile socketFile(runtime.filePath(QStringLiteral("kestrane.socket")));
    if (!socketFile.exists()) {
        // Closing the server removed it; put a plain file in its place.
        ASSERT_TRUE(socketFile.open(QIODevice::WriteOnly));
        socketFile.close();
    }

    SingleInstance running(runtime.path());
    ASSERT_EQ(running.claim(), Outcome::primary) << running.failure().toStdString();
    EXPECT_EQ(claimElsewhere(runtime.path(), 10s), Outcome::reopenedRunning);
}

TEST(SingleInstance, aHolderThatNeverAnswersIsReportedAfterTheTimeout) {
    QTemporaryDir runtime;
    // This process holds the lock but nothing listens: a program stuck before listening.
    QLockFile held(runtime.filePath(QStringLiteral("kestrane.lock")));
    ASSERT_TRUE(held.tryLock(0));
    EXPECT_EQ(claimElsewhere(runtime.path(), 300ms), Outcome::runningButSilent);
}

TEST(SingleInstance, aFolderOfAnotherUserIsRefused) {
    // The root folder exists and belongs to root; as root, a folder of another user stands
    // in for it.
    QTemporaryDir runtime;
    const QString foreign = runtime.filePath(QStringLiteral("foreign"));
    ASSERT_TRUE(QDir().mkdir(foreign));
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(foreign.toLocal8Bit().constData(), 65534, 65534), 0);
    } else {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    SingleInstance instance(foreign);
    EXPECT_EQ(instance.claim(100ms), Outcome::failed);
    EXPECT_FALSE(instance.failure().isEmpty());
}

} // namespace
} // namespace quorix
