#include "platform/NotificationCenter.h"

namespace brelvo {
namespace {

// Carries one context observer's notifications. Qt's own connection from its
// signal to the context decides direct or queued delivery and forgets the
// context (and what is queued for it) when the context dies. It belongs to no
// thread, as it only sends, so the center may delete it from any thread.
class ObserverRelay : public QObject {
    Q_OBJECT
public:
    ObserverRelay() { moveToThread(nullptr); }
signals:
    void posted(const brelvo::Notification& notification);
};

}  // namespace

NotificationCenter::~NotificationCenter() = default;

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

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, QObject* context, Block block,
                                                          Qt::ConnectionType type) {
    if (!context) return 0;
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->owner = context;
    observer->block = std::move(block);
    auto* relay = new ObserverRelay;
    observer->relay.reset(relay);
    // A queued delivery checks that the observer is still there when it runs:
    // removing it drops what is still on its way. The block runs from a copy:
    // a block that removes its own observer does not destroy itself mid-call.
    const std::weak_ptr<Observer> weak = observer;
    QObject::connect(relay, &ObserverRelay::posted, context, [weak](const Notification& n) {
        Block block;
        if (const std::shared_ptr<Observer> o = weak.lock(); o && o->alive) block = o->block;
        if (block) block(n);
    }, type == Qt::QueuedConnection ? Qt::QueuedConnection : Qt::AutoConnection);
    {
        QMutexLocker lock(&mutex_);
        observer->token = nextToken_++;
        observers_.append(observer);
    }
    // The relay is the connection's context: once the center drops the
    // observer, a later destruction of the context no longer calls in here.
    const Token token = observer->token;
    QObject::connect(context, &QObject::destroyed, relay, [this, token] { removeObserver(token); },
                     Qt::DirectConnection);
    return token;
}

void NotificationCenter::removeIf(const std::function<bool(const Observer&)>& match) {
    // Declared first, so released after the lock: deleting a relay takes Qt's locks.
    QList<std::shared_ptr<Observer>> removed;
    QMutexLocker lock(&mutex_);
    observers_.removeIf([&](const std::shared_ptr<Observer>& o) {
        if (!match(*o)) return false;
        o->alive = false;  // a delivery that already holds it will skip it
        removed.append(o);
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
    for (const auto& o : std::as_const(snapshot)) {
        if (!o->alive) continue;
        if (o->relay)
            emit static_cast<ObserverRelay*>(o->relay.get())->posted(notification);
        else
            o->block(notification);
    }
}

int NotificationCenter::observerCount() const {
    QMutexLocker lock(&mutex_);
    return static_cast<int>(observers_.size());
}

}  // namespace brelvo

#include "NotificationCenter.moc"
