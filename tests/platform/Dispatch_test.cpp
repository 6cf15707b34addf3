#include "platform/Dispatch.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace dispatch = brelvo::dispatch;
using brelvo::test::waitFor;

namespace {

TEST(Dispatch, ToMainRunsLaterOnTheGuiThreadInOrderFromAnyThread) {
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> offMain{0};
    const int count = 200;
    // Posted from a pool thread, so that ordering does not come for free.
    dispatch::toGlobal([&] {
        for (int i = 0; i < count; ++i) {
            dispatch::toMain([&, i] {
                if (!dispatch::isMainThread()) ++offMain;
                std::lock_guard<std::mutex> lock(mutex);
                order.push_back(i);
            });
        }
    });
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return order.size() == count;
    }));
    EXPECT_EQ(offMain.load(), 0);
    for (int i = 0; i < count; ++i) ASSERT_EQ(order[i], i);

    // Posted from the GUI thread itself: later, not inline.
    bool ran = false;
    dispatch::toMain([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(waitFor([&] { return ran; }));
}

TEST(Dispatch, ToGlobalRunsOffTheGuiThreadAndToMainAndWaitReturnsAfterTheWorkRanOnIt) {
    std::atomic<int> done{0}, onMain{0};
    for (int i = 0; i < 16; ++i)
        dispatch::toGlobal([&] {
            if (dispatch::isMainThread() || QThread::currentThread() == qApp->thread()) ++onMain;
            ++done;
        });
    ASSERT_TRUE(waitFor([&] { return done.load() == 16; }));
    EXPECT_EQ(onMain.load(), 0);

    std::atomic<bool> ranOnMain{false}, seenAfterReturn{false}, finished{false};
    dispatch::toGlobal([&] {
        dispatch::toMainAndWait([&] { ranOnMain = dispatch::isMainThread(); });
        seenAfterReturn = ranOnMain.load();
        finished = true;
    });
    ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    EXPECT_TRUE(seenAfterReturn.load());

    // On the GUI thread itself it runs at once rather than waiting for itself.
    bool ran = false;
    dispatch::toMainAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
}

}  // namespace
