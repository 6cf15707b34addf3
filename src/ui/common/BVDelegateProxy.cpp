#include "ui/common/BVDelegateProxy.h"

#include "platform/Log.h"

#include <QMetaMethod>
#include <QMutex>

#include <memory>
#include <vector>

namespace brelvo {

namespace {
QMutex proxiesMutex;
// Every proxy lives until the process ends, as its users expect of a delegate.
std::vector<std::unique_ptr<BVDelegateProxy>>& proxies() {
    static std::vector<std::unique_ptr<BVDelegateProxy>> list = [] {
        std::vector<std::unique_ptr<BVDelegateProxy>> l;
        l.reserve(10);
        return l;
    }();
    return list;
}
}  // namespace

BVDelegateProxy* BVDelegateProxy::registerProxyFor(QObject* realObject) {
    auto* proxy = new BVDelegateProxy(realObject);
    QMutexLocker lock(&proxiesMutex);
    proxies().emplace_back(proxy);
    return proxy;
}

bool BVDelegateProxy::respondsToSelector(const char* name) const {
    if (!realObject_) return false;
    const QMetaObject* meta = realObject_->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i)
        if (meta->method(i).name() == name) return true;
    return false;
}

bool BVDelegateProxy::invoke(const char* name, const QList<QVariant>& values,
                             const std::array<QGenericArgument, 10>& a) {
    qCInfo(lcActivity).noquote() << "============================  " << name;
    if (QByteArray(name).contains("didSelectRowAtIndexPath"))
        for (qsizetype i = 0; i < qMin<qsizetype>(2, values.size()); ++i)
            qCInfo(lcActivity).noquote() << "SELECTED ROW:" << values[i].toString();
    if (!realObject_ || !respondsToSelector(name)) return false;
    return QMetaObject::invokeMethod(realObject_, name, Qt::DirectConnection, a[0], a[1], a[2], a[3], a[4], a[5],
                                     a[6], a[7], a[8], a[9]);
}

}  // namespace brelvo
