#include "platform/NotificationCenter.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using brelvo::Notification;
using brelvo::NotificationCenter;

namespace {

TEST(NotificationCenter, DeliversInOrderOfAddingFiltersByNameAndPassesObjectAndUserInfo) {
    NotificationCenter center;
    QStringList calls;
    center.addObserver(QStringLiteral("A"), [&](const Notification& n) { calls << "first:" + n.name; });
    center.addObserver(QStringLiteral("B"), [&](const Notification& n) { calls << "onlyB:" + n.name; });
    center.addObserver(QString(), [&](const Notification& n) { calls << "all:" + n.name; });
    center.addObserver(QStringLiteral("A"), [&](const Notification& n) { calls << "second:" + n.name; });

    center.post(QStringLiteral("A"));
    center.post(QStringLiteral("B"));
    center.post(QStringLiteral("C"));
    center.post(QStringLiteral("a"));  // names are case-sensitive
    EXPECT_EQ(calls, (QStringList{"first:A", "all:A", "second:A", "onlyB:B", "all:B", "all:C", "all:a"}));

    int target = 0;
    QVariantList objects;
    QVariantMap info;
    center.addObserver(QStringLiteral("N"), [&](const Notification& n) {
        objects << n.object;
        info = n.userInfo;
    });
    center.post(QStringLiteral("N"), QStringLiteral("value"), {{"k", 1}});
    center.post(QStringLiteral("N"), QVariant::fromValue(static_cast<void*>(&target)));
    center.post(QStringLiteral("N"));

    ASSERT_EQ(objects.size(), 3);
    EXPECT_EQ(objects[0], QVariant(QStringLiteral("value")));
    EXPECT_EQ(objects[1].value<void*>(), static_cast<void*>(&target));
    EXPECT_FALSE(objects[2].isValid());
    EXPECT_TRUE(info.isEmpty());
}

// Observers removed or added by an observer: the post under way skips the
// removed ones and leaves the added ones for the next post.
TEST(NotificationCenter, ObserversChangedDuringDeliveryCountFromTheNextPost) {
    NotificationCenter center;
    int selfCalls = 0, otherCalls = 0, laterCalls = 0, addedCalls = 0;
    bool added = false;
    NotificationCenter::Token self = 0, later = 0;
    self = center.addObserver(QStringLiteral("N"), [&](const Notification&) {
        ++selfCalls;
        center.removeObserver(self);
    });
    center.addObserver(QStringLiteral("N"), [&](const Notification&) {
        ++otherCalls;
        center.removeObserver(later);
        if (added) return;
        added = true;
        center.addObserver(QStringLiteral("N"), [&](const Notification&) { ++addedCalls; });
    });
    later = center.addObserver(QStringLiteral("N"), [&](const Notification&) { ++laterCalls; });

    center.post(QStringLiteral("N"));
    EXPECT_EQ(addedCalls, 0);
    center.post(QStringLiteral("N"));
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(otherCalls, 2);
    EXPECT_EQ(laterCalls, 0);
    EXPECT_EQ(addedCalls, 1);
    EXPECT_EQ(center.observerCount(), 2);
}

TEST(NotificationCenter, RemovalByOwnerAndByOwnerAndName) {
    NotificationCenter center;
    int ownerA = 0, ownerB = 0;
    QStringList calls;
    center.addObserver(QStringLiteral("X"), [&](const Notification&) { calls << "A:X"; }, &ownerA);
    center.addObserver(QStringLiteral("Y"), [&](const Notification&) { calls << "A:Y"; }, &ownerA);
    center.addObserver(QStringLiteral("X"), [&](const Notification&) { calls << "B:X"; }, &ownerB);
    center.addObserver(QStringLiteral("X"), [&](const Notification&) { calls << "none:X"; });

    center.removeObserver(&ownerA, QStringLiteral("X"));
    center.post(QStringLiteral("X"));
    center.post(QStringLiteral("Y"));
    EXPECT_EQ(calls, (QStringList{"B:X", "none:X", "A:Y"}));

    calls.clear();
    center.removeObserver(&ownerA);
    center.removeObserver(static_cast<const void*>(nullptr));  // does not match observers without owner
    center.post(QStringLiteral("X"));
    center.post(QStringLiteral("Y"));
    EXPECT_EQ(calls, (QStringList{"B:X", "none:X"}));
    EXPECT_EQ(center.observerCount(), 2);
}

TEST(NotificationCenter, PostsFromSeveralThreadsAllArriveOnTheirThreads) {
    NotificationCenter center;
    const int threads = 8, posts = 300;
    std::atomic<int> delivered{0}, wrongThread{0};
    std::vector<std::atomic<int>> perThread(threads);
    center.addObserver(QStringLiteral("tick"), [&](const Notification& n) {
        const int t = n.object.toInt();
        if (n.userInfo.value("thread").value<quintptr>() != quintptr(std::hash<std::thread::id>{}(std::this_thread::get_id())))
            ++wrongThread;
        ++perThread[t];
        ++delivered;
    });

    std::atomic<bool> running{true};
    // Observers come and go meanwhile.
    std::thread churn([&] {
        while (running) {
            const auto token = center.addObserver(QString(), [](const Notification&) {});
            center.removeObserver(token);
        }
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            const QVariantMap info{
                {"thread", QVariant::fromValue(quintptr(std::hash<std::thread::id>{}(std::this_thread::get_id())))}};
            for (int i = 0; i < posts; ++i) center.post(QStringLiteral("tick"), t, info);
        });
    }
    for (auto& p : posters) p.join();
    running = false;
    churn.join();

    EXPECT_EQ(delivered.load(), threads * posts);
    EXPECT_EQ(wrongThread.load(), 0);
    for (int t = 0; t < threads; ++t) EXPECT_EQ(perThread[t].load(), posts) << t;
}

// An observer with a context object runs on the context's thread and goes with
// the context, also when a delivery is still queued for it.
TEST(NotificationCenter, ContextObserverRunsOnItsContextsThreadAndDiesWithIt) {
    NotificationCenter center;
    auto counted = [](QObject* context) {
        // Touches the context, so that a call after its end is caught.
        return [context](const Notification&) { context->setProperty("calls", context->property("calls").toInt() + 1); };
    };
    auto calls = [](QObject* context) { return context->property("calls").toInt(); };

    // Posted on the context's own thread: called before post returns.
    auto* here = new QObject;
    center.addObserver(QStringLiteral("N"), here, counted(here));
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls(here), 1);

    // Posted from elsewhere: queued to the context's thread.
    QThread worker;
    worker.start();
    auto* there = new QObject;
    there->moveToThread(&worker);
    std::atomic<QThread*> ranOn{nullptr};
    center.addObserver(QStringLiteral("N"), there, [&ranOn](const Notification&) { ranOn = QThread::currentThread(); });
    center.post(QStringLiteral("N"));
    EXPECT_TRUE(brelvo::test::waitFor([&] { return ranOn.load() != nullptr; }));
    EXPECT_EQ(ranOn.load(), &worker);
    std::thread([&] { center.post(QStringLiteral("N")); }).join();
    EXPECT_EQ(calls(here), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls(here), 3);

    // Destroyed: dropped, and a delivery still queued for it never runs.
    std::thread([&] { center.post(QStringLiteral("N")); }).join();
    delete here;
    there->deleteLater();
    EXPECT_TRUE(brelvo::test::waitFor([&] { return center.observerCount() == 0; }));
    QCoreApplication::processEvents();
    worker.quit();
    worker.wait();

    // Always queued when asked, and removing the observer drops what is queued.
    auto* queued = new QObject;
    const auto token = center.addObserver(QStringLiteral("N"), queued, counted(queued), Qt::QueuedConnection);
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls(queued), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls(queued), 1);
    center.post(QStringLiteral("N"));
    center.removeObserver(token);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls(queued), 1);
    delete queued;
}

}  // namespace
