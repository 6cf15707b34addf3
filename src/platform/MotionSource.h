#pragma once

#include <QObject>
#include <QVector3D>

#include <functional>

namespace brelvo {

// The device's motion: the acceleration the user gives it (gravity removed),
// in g on three axes, at a chosen interval. Backed by the accelerometer where
// Qt Sensors finds one; tests (and devices without a sensor) put in their own.
class MotionSource : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<MotionSource*(QObject* parent)>;

    // A source from the current factory (the accelerometer by default).
    static MotionSource* create(QObject* parent);
    static void setFactory(Factory factory);  // an empty factory restores the default

    explicit MotionSource(QObject* parent = nullptr) : QObject(parent) {}
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;

signals:
    void userAcceleration(const QVector3D& g);
};

}  // namespace brelvo
