// brelvo-notes: a small notes application that hosts the library.
//
//   brelvo-notes [--shake|--manual] [--locking] [--no-offline-mode]
//                [--service-url URL] [--api-key KEY]
//                [--tour | --script FILE] [--screens DIR] [--admin URL]
//                [--crash | --deliver-kept-reports]
//
// Without --tour or --script it is an ordinary interactive application. With
// them it runs the steps (see Tour.h), prints one line per step and exits 0
// only when every step passed. --crash starts the library and then fails with
// a real segmentation fault, as a bug in the host would; --deliver-kept-reports
// starts it, waits until the crash reports an earlier run kept are delivered,
// and exits (1 when they are not within 30 s).
#include "NoteStore.h"
#include "NotesWindow.h"
#include "Tour.h"

#include <brelvo/Brelvo.h>

#include "diagnostics/CrashHelper.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

// A real fault, not one the sanitizers stop first: a write to the unmapped
// first page, outside their checks. No core file: the library reports it.
[[noreturn, gnu::noinline, gnu::no_sanitize("address", "undefined")]] void crashLikeABug() {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    volatile std::uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 42;
    std::abort();  // not reached
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Notes"));
    QApplication::setOrganizationName(QStringLiteral("Brelvo Demo"));
    QApplication::setApplicationVersion(QStringLiteral("2.4"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A notes application in beta, with the Brelvo library."));
    parser.addHelpOption();
    const QCommandLineOption shake(QStringLiteral("shake"), QStringLiteral("Open the library's menu by shaking the device."));
    const QCommandLineOption manual(QStringLiteral("manual"), QStringLiteral("The application opens the menu itself."));
    const QCommandLineOption locking(QStringLiteral("locking"), QStringLiteral("Lock the application when the build is refused."));
    const QCommandLineOption noOffline(QStringLiteral("no-offline-mode"), QStringLiteral("Turn the library's offline mode off."));
    const QCommandLineOption serviceUrl(QStringLiteral("service-url"), QStringLiteral("The testing service (default: $BRELVO_SERVICE_URL, else http://127.0.0.1:8642/)."), QStringLiteral("URL"));
    const QCommandLineOption apiKey(QStringLiteral("api-key"), QStringLiteral("The project's key (default: $BRELVO_PROJECT_ID, else demo-key-0001)."), QStringLiteral("KEY"));
    const QCommandLineOption tour(QStringLiteral("tour"), QStringLiteral("Run the built-in tour and exit."));
    const QCommandLineOption script(QStringLiteral("script"), QStringLiteral("Run the steps in FILE, one a line, and exit."), QStringLiteral("FILE"));
    const QCommandLineOption screens(QStringLiteral("screens"), QStringLiteral("Folder for the PNGs of \"shot\" steps (default: ./screens)."), QStringLiteral("DIR"));
    const QCommandLineOption admin(QStringLiteral("admin"), QStringLiteral("The service's base address for fault injection (default: the service URL)."), QStringLiteral("URL"));
    const QCommandLineOption crash(QStringLiteral("crash"), QStringLiteral("Start the library, then crash as a bug would."));
    const QCommandLineOption deliverKept(QStringLiteral("deliver-kept-reports"),
                                         QStringLiteral("Start the library, deliver the crash reports kept by an earlier run, and exit."));
    parser.addOptions({shake, manual, locking, noOffline, serviceUrl, apiKey, tour, script, screens, admin, crash, deliverKept});
    parser.process(app);

    if (parser.isSet(shake) && parser.isSet(manual)) {
        std::fprintf(stderr, "brelvo-notes: --shake and --manual exclude each other\n");
        return 2;
    }
    QList<Tour::Step> steps;
    if (parser.isSet(tour) && parser.isSet(script)) {
        std::fprintf(stderr, "brelvo-notes: --tour and --script exclude each other\n");
        return 2;
    }
    if (parser.isSet(tour)) steps = Tour::builtIn();
    if (parser.isSet(script)) {
        QFile file(parser.value(script));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            std::fprintf(stderr, "brelvo-notes: cannot read %s\n", qPrintable(file.fileName()));
            return 2;
        }
        QString error;
        if (!Tour::parse(QString::fromUtf8(file.readAll()), &steps, &error)) {
            std::fprintf(stderr, "brelvo-notes: %s: %s\n", qPrintable(file.fileName()), qPrintable(error));
            return 2;
        }
    }

    QString service = parser.value(serviceUrl);
    if (service.isEmpty()) service = qEnvironmentVariable("BRELVO_SERVICE_URL", QStringLiteral("http://127.0.0.1:8642/"));
    if (!service.endsWith(QLatin1Char('/'))) service += QLatin1Char('/');
    QString key = parser.value(apiKey);
    if (key.isEmpty()) key = qEnvironmentVariable("BRELVO_PROJECT_ID", QStringLiteral("demo-key-0001"));
    const QUrl adminUrl(parser.isSet(admin) ? parser.value(admin) : service);
    if (!steps.isEmpty() && (!adminUrl.isValid() || adminUrl.host().isEmpty())) {
        std::fprintf(stderr, "brelvo-notes: bad admin address \"%s\"\n", qPrintable(adminUrl.toString()));
        return 2;
    }
    app.setProperty("brelvo_project_id", key);
    app.setProperty("brelvo_service_url", service);

    int options = 0;
    QStringList optionNames;
    if (parser.isSet(shake)) {
        options |= brelvo::Brelvo::ShakeActivation;
        optionNames << QStringLiteral("shake");
    }
    if (parser.isSet(manual)) {
        options |= brelvo::Brelvo::ManualActivation;
        optionNames << QStringLiteral("manual");
    }
    if (parser.isSet(locking)) {
        options |= brelvo::Brelvo::LockingMode;
        optionNames << QStringLiteral("locking");
    }

    NoteStore store(NoteStore::defaultFolder());
    NotesWindow window(store, {QStringLiteral("Beta testing with Brelvo %1").arg(brelvo::libraryVersion()),
                               QStringLiteral("Service: %1").arg(service),
                               QStringLiteral("Project key: %1").arg(key),
                               QStringLiteral("Menu: %1").arg(optionNames.isEmpty() ? QStringLiteral("floating button")
                                                                                    : optionNames.join(QStringLiteral(", ")))});
    window.show();

    if (parser.isSet(noOffline)) brelvo::Brelvo::shared().setOfflineMode(false);
    brelvo::Brelvo::shared().initializeWithOptions(options);

    if (parser.isSet(crash)) QTimer::singleShot(300, &app, [] { crashLikeABug(); });
    if (parser.isSet(deliverKept)) {
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [started = QDateTime::currentDateTime()] {
            if (brelvo::CrashHelper::queuedCrashes().isEmpty()) QApplication::exit(0);
            else if (started.secsTo(QDateTime::currentDateTime()) > 30) QApplication::exit(1);
        });
        poll->start(50);
    }
    if (!steps.isEmpty()) {
        const QString folder = parser.isSet(screens) ? parser.value(screens) : QDir::current().filePath(QStringLiteral("screens"));
        // The folder by value: this block's locals are gone when the timer fires.
        QTimer::singleShot(0, &app, [&window, &steps, &adminUrl, folder] {
            Tour runner(&window, QDir(folder).absolutePath(), adminUrl);
            QApplication::exit(runner.run(steps) ? 0 : 1);
        });
    }
    return QApplication::exec();
}
