// Child of the durability test. Writes entries and synchronises in a loop,
// and reports each entry on stdout only after its synchronize() returned, so
// that the parent knows which entries must survive a SIGKILL.
//
//   defaults_writer STORE FIRST
//
// Entry i is "entry-<i>" holding a value of varying size (up to 256 KiB)
// whose bytes derive from i, and is appended to the "queue" key with update().
//
//   defaults_writer --standard
//
// Stores "at exit" under "written" in the process-wide store and ends
// normally, for the test that the store's file is closed at exit.
#include "platform/Defaults.h"

#include <QByteArray>
#include <QCoreApplication>

#include <cstdio>

static QByteArray payload(int i) {
    const int size = (i % 7 == 0) ? 256 * 1024 : 64 + (i * 37) % 4096;
    QByteArray bytes(size, Qt::Uninitialized);
    for (int k = 0; k < size; ++k) bytes[k] = static_cast<char>((i * 31 + k) & 0xff);
    return bytes;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--standard") == 0) {
        brelvo::Defaults::standard().setObject(QStringLiteral("at exit"), QStringLiteral("written"));
        return brelvo::Defaults::standard().synchronize() ? 0 : 3;
    }
    if (argc < 3) return 2;
    brelvo::Defaults store(QString::fromLocal8Bit(argv[1]));
    for (int i = atoi(argv[2]);; ++i) {
        store.setObject(payload(i), QStringLiteral("entry-%1").arg(i));
        if (!store.synchronize()) return 3;
        store.update(QStringLiteral("queue"), [i](const QVariant& current) {
            QVariantList list = current.toList();
            list.append(i);
            return QVariant(list);
        });
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
