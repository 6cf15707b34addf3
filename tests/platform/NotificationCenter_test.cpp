#include "platform/NotificationCenter.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using brelvo::Notification;
using brelvo::NotificationCenter;

namespace {

TEST(NotificationCenter, DeliversInOrderOfAddingAndFiltersByName) {
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
}

TEST(NotificationCenter, ObjectAndUserInfoPassThrough) {
    NotificationCenter center;
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

TEST(NotificationCenter, ObserverMayRemoveItselfDuringDelivery) {
    NotificationCenter center;
    int selfCalls = 0, otherCalls = 0;
    NotificationCenter::Token self = 0;
    self = center.addObserver(QStringLiteral("N"), [&](const Notification&) {
        ++selfCalls;
        center.removeObserver(self);
    });
    center.addObserver(QStringLiteral("N"), [&](const Notification&) { ++otherCalls; });

    center.post(QStringLiteral("N"));
    center.post(QStringLiteral("N"));
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(otherCalls, 2);
    EXPECT_EQ(center.observerCount(), 1);
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalledByThatPost) {
    NotificationCenter center;
    int laterCalls = 0;
    NotificationCenter::Token later = 0;
    center.addObserver(QStringLiteral("N"), [&](const Notification&) { center.removeObserver(later); });
    later = center.addObserver(QStringLiteral("N"), [&](const Notification&) { ++laterCalls; });

    center.post(QStringLiteral("N"));
    EXPECT_EQ(laterCalls, 0);
}

TEST(NotificationCenter, ObserverAddedDuringDeliveryWaitsForTheNextPost) {
    NotificationCenter center;
    int addedCalls = 0;
    bool added = false;
    center.addObserver(QStringLiteral("N"), [&](const Notification&) {
        if (added) return;
        added = true;
        center.addObserver(QStringLiteral("N"), [&](const Notification&) { ++addedCalls; });
    });
    center.post(QStringLiteral("N"));
    EXPECT_EQ(addedCalls, 0);
    center.post(QStringLiteral("N"));
    EXPECT_EQ(addedCalls, 1);
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

}  // namespace
