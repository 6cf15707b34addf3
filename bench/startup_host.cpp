// The host application of the start-up benchmark: a main window with a dozen
// buttons, shown, painted once, then gone. Built twice from this file:
// startup_host never links the library (the baseline), startup_host_brelvo
// links libbrelvo like any host and starts it right after showing its window.
//
//   startup_host[_brelvo] [--start-before-window]
//
// Prints "<ns to the start call's return> <ns to the first frame> <peak RSS kB>".
// The first frame is the host's first paint, or with the library the first
// paint of its overlay panel. --start-before-window starts the library before
// any window shows: the call then does only the work that needs no view.
#ifdef BRELVO_HOST_STARTS_LIBRARY
#include <brelvo/Brelvo.h>
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>

namespace {

// Notes the moment the watched kind of widget paints for the first time.
class FirstPaint : public QObject {
public:
    FirstPaint(QElapsedTimer* clock, const char* className) : clock_(clock), className_(className) {}
    qint64 at = -1;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && at < 0 && o->inherits(className_)) at = clock_->nsecsElapsed();
        return false;
    }

private:
    QElapsedTimer* clock_;
    const char* className_;
};

long peakRssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void start() {
#ifdef BRELVO_HOST_STARTS_LIBRARY
    brelvo::Brelvo::shared().initializeWithOptions(0);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const bool beforeWindow = argc > 1 && std::strcmp(argv[1], "--start-before-window") == 0;
    QApplication app(argc, argv);
    app.setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:9/"));
    QWidget host;
    host.resize(390, 844);
    auto* layout = new QVBoxLayout(&host);
    for (int i = 0; i < 12; ++i) layout->addWidget(new QPushButton(QStringLiteral("Note %1").arg(i)));

    QElapsedTimer clock;
#ifdef BRELVO_HOST_STARTS_LIBRARY
    FirstPaint painted(&clock, "brelvo::CustomViewBrelvo");
#else
    FirstPaint painted(&clock, "QWidget");
#endif
    app.installEventFilter(&painted);
    clock.start();
    if (beforeWindow) start();
    const qint64 beforeWindowReturned = clock.nsecsElapsed();
    host.show();
    if (!beforeWindow) start();
    const qint64 returned = beforeWindow ? beforeWindowReturned : clock.nsecsElapsed();
    while (painted.at < 0 && clock.elapsed() < 10000) app.processEvents(QEventLoop::AllEvents, 5);
    std::printf("%lld %lld %ld\n", static_cast<long long>(returned), static_cast<long long>(painted.at), peakRssKb());
    return painted.at < 0 ? 1 : 0;
}
