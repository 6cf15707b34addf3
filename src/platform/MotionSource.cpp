#include "platform/MotionSource.h"

#include "platform/Log.h"

#include <QMutex>

#ifdef BRELVO_HAVE_QT_SENSORS
#include <QAccelerometer>
#include <QAccelerometerReading>
#endif

namespace brelvo {
namespace {

constexpr float kStandardGravity = 9.80665f;

#ifdef BRELVO_HAVE_QT_SENSORS
// The accelerometer measures gravity too; a slow low-pass filter tracks it and
// what remains is the user's own acceleration.
class AccelerometerSource : public MotionSource {
public:
    explicit AccelerometerSource(QObject* parent) : MotionSource(parent) {
        connect(&sensor_, &QAccelerometer::readingChanged, this, [this] {
            const QAccelerometerReading* r = sensor_.reading();
            const QVector3D raw(r->x(), r->y(), r->z());
            gravity_ = gravity_.isNull() ? raw : gravity_ * 0.8f + raw * 0.2f;
            emit userAcceleration((raw - gravity_) / kStandardGravity);
        });
    }
    void start(int intervalMs) override {
        sensor_.setDataRate(qMax(1, 1000 / qMax(1, intervalMs)));
        if (!sensor_.start()) qCInfo(lcBrelvo) << "no accelerometer: shaking the device does nothing";
    }
    void stop() override { sensor_.stop(); }

private:
    QAccelerometer sensor_;
    QVector3D gravity_;
};
#endif

class NoMotionSource : public MotionSource {
public:
    using MotionSource::MotionSource;
    void start(int) override { qCInfo(lcBrelvo) << "no motion sensor support: shaking the device does nothing"; }
    void stop() override {}
};

QMutex factoryMutex;
MotionSource::Factory& factory() {
    static MotionSource::Factory f;
    return f;
}

}  // namespace

MotionSource* MotionSource::create(QObject* parent) {
    {
        QMutexLocker lock(&factoryMutex);
        if (factory()) return factory()(parent);
    }
#ifdef BRELVO_HAVE_QT_SENSORS
    return new AccelerometerSource(parent);
#else
    return new NoMotionSource(parent);
#endif
}

void MotionSource::setFactory(Factory f) {
    QMutexLocker lock(&factoryMutex);
    factory() = std::move(f);
}

}  // namespace brelvo
