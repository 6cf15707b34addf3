#include "platform/NotificationCenter.h"

namespace brelvo {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter;  // outlives every observer
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Block block, const void* owner) {
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->owner = owner;
    observer->block = std::move(block);
    QMutexLocker lock(&mutex_);
    observer->token = nextToken_++;
    observers_.append(observer);
    return observer->token;
}

void NotificationCenter::removeIf(const std::function<bool(const Observer&)>& match) {
    QMutexLocker lock(&mutex_);
    observers_.removeIf([&](const std::shared_ptr<Observer>& o) {
        if (!match(*o)) return false;
        o->alive = false;  // a delivery that already holds it will skip it
        return true;
    });
}

void NotificationCenter::removeObserver(Token token) {
    removeIf([token](const Observer& o) { return o.token == token; });
}

void NotificationCenter::removeObserver(const void* owner) {
    if (!owner) return;
    removeIf([owner](const Observer& o) { return o.owner == owner; });
}

void NotificationCenter::removeObserver(const void* owner, const QString& name) {
    if (!owner) return;
    removeIf([owner, &name](const Observer& o) { return o.owner == owner && o.name == name; });
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo) {
    post(Notification{name, object, userInfo});
}

void NotificationCenter::post(const Notification& notification) {
    // Deliver from a snapshot so that observers may add or remove observers
    // (themselves included) while being called, without the lock held.
    QList<std::shared_ptr<Observer>> snapshot;
    {
        QMutexLocker lock(&mutex_);
        for (const auto& o : std::as_const(observers_))
            if (o->name.isEmpty() || o->name == notification.name) snapshot.append(o);
    }
    for (const auto& o : std::as_const(snapshot))
        if (o->alive) o->block(notification);
}

int NotificationCenter::observerCount() const {
    QMutexLocker lock(&mutex_);
    return static_cast<int>(observers_.size());
}

}  // namespace brelvo
