// What a previous run left for the next start: the crash file, the crash
// context, the error-handler file and the stored log batches. The first byte
// picks the reader, the rest is the file. Damaged files are read (or set
// aside) without failing, and no batch is lost or delivered twice.

#include "FuzzSupport.h"

#include "diagnostics/CrashContext.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/CrashSymbols.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "diagnostics/StoredLogBatches.h"
#include "platform/Defaults.h"
#include "platform/PropertyList.h"
#include "protocol/DeliveryId.h"

#include <QDir>
#include <QFile>

using namespace brelvo;

namespace {

void crashFile(const QByteArray& file) {
    const QString path = fuzz::prepare() + QStringLiteral("/crash-file");
    fuzz::writeFile(path, file);
    for (const CrashFile::Entry& entry : CrashFile::readComplete(path)) {
        const QStringList stack = crashsymbols::describe(entry.frames, entry.modules);
        fuzz::require(stack.size() == qsizetype(entry.frames.size()), "one stack line per frame");
        if (entry.kind == CrashFile::Signal) {
            (void)crash::signalReason(entry.signal, stack);
        } else {
            (void)crash::reportText(BrelvoException{QString::fromUtf8(entry.text), QString(), {}});
        }
        fuzz::require(CrashFile::noteRecoveryAttempt(path, entry.slot), "a read slot takes a recovery attempt");
    }
}

void crashContext(const QByteArray& file) {
    const QString path = fuzz::prepare() + QStringLiteral("/crash-context.plist");
    fuzz::writeFile(path, file);
    CrashContext context;
    if (CrashContext::load(path, &context)) {
        // Saved again, it reads back the same.
        fuzz::require(context.save(path), "a loaded context saves");
        CrashContext again;
        fuzz::require(CrashContext::load(path, &again) && again.state == context.state && again.token == context.token &&
                          again.rid == context.rid && again.uid == context.uid,
                      "a saved context loads unchanged");
    }
}

void errorHandlerFile(const QByteArray& file) {
    fuzz::writeFile(errorhandler::plistPath(), file);
    errorhandler::createPlist();
    errorhandler::setAppStatus(2);
    const QVariant stored = plist::fromData([] {
        QFile f(errorhandler::plistPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }());
    fuzz::require(stored.toMap().value(QStringLiteral("ExitCode")) == QStringLiteral("2"),
                  "the error-handler file holds the status after it was set");
}

// Every batch waiting is delivered once, and afterwards nothing waits.
void deliverAll(const char* what) {
    StoredLogBatches& batches = StoredLogBatches::shared();
    const QVariantList waiting = batches.all();
    QVariantList sent;
    batches.deliver([&sent](const QString& logs, const QString& token, const QString& deliveryId) {
        fuzz::require(delivery::isId(deliveryId), "every batch goes out under a delivery identifier");
        sent.append(QVariantMap{{QStringLiteral("logs"), logs}, {QStringLiteral("token"), token}});
        return true;
    });
    fuzz::require(batches.isEmpty(), what);
    // The array may hold entries without logs, which are dropped unsent.
    QVariantList expected;
    for (const QVariant& batch : waiting) {
        const QString logs = batch.toMap().value(QStringLiteral("logs")).toString();
        const QString token = batch.toMap().value(QStringLiteral("token")).toString();
        if (!logs.isEmpty()) expected.append(QVariantMap{{QStringLiteral("logs"), logs}, {QStringLiteral("token"), token}});
    }
    fuzz::require(sent == expected, "every waiting batch is sent once, in order");
}

void logBatchFile(const QByteArray& file) {
    const QString folder = StoredLogBatches::folder();
    fuzz::writeFile(folder + QStringLiteral("/00000000000000000001.plist"), file);
    deliverAll("a batch file is delivered or set aside");
    for (const QString& name : QDir(folder).entryList(QDir::Files)) QFile::remove(folder + QLatin1Char('/') + name);
}

void logBatchArray(const QByteArray& value) {
    Defaults::standard().setObject(plist::fromData(value), QString::fromLatin1(StoredLogBatches::kKey));
    deliverAll("the stored array is delivered");
    Defaults::standard().removeObject(QString::fromLatin1(StoredLogBatches::kKey));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::prepare();
    if (size == 0) return 0;
    const QByteArray file = fuzz::bytesOf(data + 1, size - 1);
    switch (data[0] % 5) {
    case 0: crashFile(file); break;
    case 1: crashContext(file); break;
    case 2: errorHandlerFile(file); break;
    case 3: logBatchFile(file); break;
    case 4: logBatchArray(file); break;
    }
    return 0;
}
