#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace brelvo::fuzz {

namespace {

void quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) std::fprintf(stderr, "fatal: %s\n", qPrintable(message));
}

}  // namespace

const QString& prepare() {
    static const QString home = [] {
        qInstallMessageHandler(quiet);
        // Lives until exit, then removes the folder with what the runs left.
        static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/brelvo-fuzz-XXXXXX"));
        if (!dir.isValid()) {
            std::fprintf(stderr, "fuzz: no temporary folder\n");
            std::abort();
        }
        qputenv("BRELVO_HOME", dir.path().toUtf8());
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "brelvo-fuzz";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);  // lives until exit
        }
        return dir.path();
    }();
    return home;
}

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz: property broken: %s\n", what);
    std::abort();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

}  // namespace brelvo::fuzz
