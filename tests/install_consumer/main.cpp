// A host program built against an installed libbrelvo: it must find the
// headers, link, load the shared library, read the compiled-in resources and
// reach the events object and the log levels.
#include <brelvo/Brelvo.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString version = brelvo::libraryVersion();
    std::printf("libbrelvo %s\n", qPrintable(version));

    // Linked, not called: a log line would start the library's queue.
    void (brelvo::Brelvo::*log)(const QString&, brelvo::LogLevel) = &brelvo::Brelvo::BVLog;
    // The signal's connection crosses into the library's meta-object code.
    QString started;
    QObject::connect(&brelvo::Brelvo::events(), &brelvo::BrelvoEvents::sessionStarted, &app,
                     [&started](const QString& name) { started = name; });
    emit brelvo::Brelvo::events().sessionStarted(QStringLiteral("tester"));
    const bool eventsWork = started == QLatin1String("tester");
    std::printf("events %s\n", eventsWork ? "delivered" : "lost");
    return version.isEmpty() || !log || !eventsWork ? 1 : 0;
}
