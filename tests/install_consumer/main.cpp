// A host program built against an installed libbrelvo: it must find the
// header, link, load the shared library and read the compiled-in resources.
#include <brelvo/Brelvo.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString version = brelvo::libraryVersion();
    std::printf("libbrelvo %s\n", qPrintable(version));
    return version.isEmpty() ? 1 : 0;
}
