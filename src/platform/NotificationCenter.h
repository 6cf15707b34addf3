#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>

namespace brelvo {

struct Notification {
    QString name;
    QVariant object;     // a value, or a pointer wrapped with QVariant::fromValue
    QVariantMap userInfo;
};

// Named notifications between the library's components (and the host).
// Delivery is synchronous, on the posting thread, in the order observers were
// added. An observer may be removed at any time, also from inside a delivery:
// once removeObserver returns, the observer is not called again by any later
// post, and a post in progress skips it if it has not reached it yet.
//
// An observer added with a context QObject follows Qt's connect(sender,
// signal, context, functor): its block runs on the context's thread, directly
// when the post comes from that thread and queued to it otherwise (type
// Qt::QueuedConnection queues it always). It goes when the context is
// destroyed, deliveries still queued for it included, and removing it by
// token or by owner (the context is its owner) also drops its queued ones.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;
    using Token = quint64;

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    // name empty: every notification. owner: any pointer to remove by later
    // (usually the observing object's this).
    Token addObserver(const QString& name, Block block, const void* owner = nullptr);
    // The observer of a context object (see above). type: Qt::AutoConnection
    // or Qt::QueuedConnection.
    Token addObserver(const QString& name, QObject* context, Block block,
                      Qt::ConnectionType type = Qt::AutoConnection);
    void removeObserver(Token token);
    void removeObserver(const void* owner);                      // all of the owner's
    void removeObserver(const void* owner, const QString& name);  // the owner's for one name

    void post(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});
    void post(const Notification& notification);

    int observerCount() const;

private:
    struct Observer {
        Token token;
        QString name;
        const void* owner;
        Block block;
        std::atomic<bool> alive{true};
        // For a context observer: the sender whose signal carries the
        // notification to the context's thread (Qt then guards the context).
        std::unique_ptr<QObject> relay;
    };
    void removeIf(const std::function<bool(const Observer&)>& match);

    mutable QMutex mutex_;
    QList<std::shared_ptr<Observer>> observers_;
    Token nextToken_ = 1;
};

}  // namespace brelvo
