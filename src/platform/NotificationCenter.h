#pragma once

#include <QList>
#include <QMutex>
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
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;
    using Token = quint64;

    static NotificationCenter& defaultCenter();

    // name empty: every notification. owner: any pointer to remove by later
    // (usually the observing object's this).
    Token addObserver(const QString& name, Block block, const void* owner = nullptr);
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
    };
    void removeIf(const std::function<bool(const Observer&)>& match);

    mutable QMutex mutex_;
    QList<std::shared_ptr<Observer>> observers_;
    Token nextToken_ = 1;
};

}  // namespace brelvo
