#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <array>
#include <utility>

namespace brelvo {

// A logging stand-in for a delegate: calls made through it by name reach the
// wrapped object's invokable methods (slots or Q_INVOKABLE) and are written
// to the device log first ("============================   <name>", and
// "SELECTED ROW: <value>" for the first two arguments of a row selection).
// C++ has no message forwarding, so the calls are made by name through Qt's
// meta-object system; a name the object does not have is refused, never a crash.
class BVDelegateProxy {
public:
    // A proxy for the object, kept alive for the rest of the process.
    static BVDelegateProxy* registerProxyFor(QObject* realObject);

    QObject* realObject() const { return realObject_; }

    // Whether the wrapped object has an invokable method of that name.
    bool respondsToSelector(const char* name) const;

    // Logs the call and makes it on the wrapped object; false when the object
    // is gone or has no such method for these arguments.
    template <typename... Args>
    bool forwardInvocation(const char* name, Args... args) {
        std::array<QVariant, sizeof...(Args)> values{QVariant::fromValue(args)...};
        std::array<QGenericArgument, 10> generic{};
        std::size_t i = 0;
        ((generic[i] = QGenericArgument(QMetaType::fromType<Args>().name(), &args), ++i), ...);
        return invoke(name, QList<QVariant>(values.begin(), values.end()), generic);
    }

private:
    explicit BVDelegateProxy(QObject* realObject) : realObject_(realObject) {}
    bool invoke(const char* name, const QList<QVariant>& values, const std::array<QGenericArgument, 10>& generic);

    QPointer<QObject> realObject_;
};

}  // namespace brelvo
