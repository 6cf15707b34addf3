// The crash path's parts that run inside one process: descriptions, the crash
// file, readable stacks, the error-handler file and handler chaining.
#include "core/BrelvoComponents.h"
#include "diagnostics/CrashCapture.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/CrashRecovery.h"
#include "diagnostics/CrashSymbols.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "platform/Defaults.h"
#include "platform/PropertyList.h"
#include "protocol/DeliveryId.h"
#include "support/SmallDisk.h"

#include <brelvo/Brelvo.h>

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

using namespace brelvo;

namespace {

QVariantMap readPlist() {
    QFile file(errorhandler::plistPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return plist::fromData(file.readAll()).toMap();
}

}  // namespace

TEST(SignalDefenition, DescribesSignalsByNameWithThisSystemsNumbers) {
    EXPECT_EQ(BrelvoComponents::signalDefenition(0), "Signal defenition not found");
    EXPECT_EQ(BrelvoComponents::signalDefenition(-3), "Signal defenition not found");
    EXPECT_EQ(BrelvoComponents::signalDefenition(SIGUSR1), "Signal defenition not found");
    EXPECT_EQ(BrelvoComponents::signalDefenition(SIGINT), "Signal 2 - SIGINT\t-\tinterrupt program\t-\tControl-C was pressed");
    EXPECT_TRUE(BrelvoComponents::signalDefenition(SIGSEGV).startsWith("Signal 11 - SIGSEGV\t-\tsegmentation violation\t-\t"));
    // SIGBUS is 7 here: its own text, with its own number, not the SIGEMT row.
    EXPECT_EQ(BrelvoComponents::signalDefenition(SIGBUS),
              QStringLiteral("Signal %1 - SIGBUS\t-\tbus error\t-\tIncorrect memory access (generally due to incorrect use "
                             "of retain and release)").arg(SIGBUS));
    EXPECT_TRUE(BrelvoComponents::signalDefenition(SIGSYS).contains("SIGSYS\t-\tnon-existent system call invoked"));
#ifndef SIGEMT
    EXPECT_EQ(BrelvoComponents::signalDefenition(26), "Signal defenition not found");
#endif
}

class CrashFileTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath("crash.bin"); }
    QTemporaryDir dir_;
    CrashFile file_;
};

TEST_F(CrashFileTest, RecordsReadBackWithFramesTextAndModules) {
    CrashFile::rememberExecutablePath();
    ASSERT_TRUE(file_.open(path()));
    EXPECT_TRUE(CrashFile::readComplete(path()).empty()) << "a fresh file holds no report";

    void* frames[] = {reinterpret_cast<void*>(0x1234), reinterpret_cast<void*>(0xabcdef)};
    const char text[] = "std::runtime_error\nboom";
    CrashFile::Record record;
    record.kind = CrashFile::Exception;
    record.signal = SIGABRT;
    record.frames = frames;
    record.frameCount = 2;
    record.text = text;
    record.textLength = sizeof text - 1;
    EXPECT_EQ(file_.write(record), 0);
    record.kind = CrashFile::Signal;
    record.signal = SIGSEGV;
    record.text = nullptr;
    EXPECT_EQ(file_.write(record), 1);
    EXPECT_TRUE(file_.markDelivered(1));

    const std::vector<CrashFile::Entry> entries = CrashFile::readComplete(path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, CrashFile::Exception);
    EXPECT_EQ(entries[0].signal, SIGABRT);
    EXPECT_EQ(entries[0].frames, (std::vector<std::uint64_t>{0x1234, 0xabcdef}));
    EXPECT_EQ(entries[0].text, QByteArray("std::runtime_error\nboom"));
    EXPECT_FALSE(entries[0].delivered);
    EXPECT_EQ(entries[1].signal, SIGSEGV);
    EXPECT_TRUE(entries[1].text.isEmpty());
    EXPECT_TRUE(entries[1].delivered);
    EXPECT_EQ(entries[0].recoveryAttempts, 0);
    // Each report carries the identifier its slot was given at the opening.
    EXPECT_TRUE(delivery::isId(entries[0].deliveryId)) << entries[0].deliveryId.toStdString();
    EXPECT_EQ(entries[0].deliveryId, file_.deliveryId(0));
    EXPECT_EQ(entries[1].deliveryId, file_.deliveryId(1));
    EXPECT_NE(entries[0].deliveryId, entries[1].deliveryId);

    EXPECT_TRUE(CrashFile::noteRecoveryAttempt(path(), 0));
    EXPECT_TRUE(CrashFile::noteRecoveryAttempt(path(), 0));
    EXPECT_FALSE(CrashFile::noteRecoveryAttempt(path(), CrashFile::kSlots));
    const auto counted = CrashFile::readComplete(path());
    ASSERT_EQ(counted.size(), 2u);
    EXPECT_EQ(counted[0].recoveryAttempts, 2);
    EXPECT_EQ(counted[1].recoveryAttempts, 0);

    // The modules come from the dynamic linker's list: the test program itself
    // (under its real path) and the shared libraries it loaded are among them.
    bool program = false, library = false;
    for (const CrashFile::Module& m : entries[0].modules) {
        program = program || m.path.endsWith("/test_diagnostics");
        library = library || m.path.contains("libQt6Core.so");
    }
    EXPECT_TRUE(program);
    EXPECT_TRUE(library);

    // Reopening at the next start empties it, with new identifiers.
    ASSERT_TRUE(file_.open(path()));
    EXPECT_TRUE(CrashFile::readComplete(path()).empty());
    // No byte of the old reports is left for a cut-off write to complete.
    QFile reopened(path());
    ASSERT_TRUE(reopened.open(QIODevice::ReadOnly));
    EXPECT_EQ(reopened.readAll(), QByteArray(CrashFile::kSlots * CrashFile::kSlotSize, '\0'));
    EXPECT_NE(file_.deliveryId(0), entries[0].deliveryId);
}

TEST_F(CrashFileTest, AReportOfTheEarlierFormIsReadWithoutAnIdentifier) {
    // Magic "BRVCRSH1", a 32-byte header, one frame, no text, no modules.
    QByteArray slot(CrashFile::kSlotSize, '\0');
    const auto put32 = [&](int at, quint32 v) { std::memcpy(slot.data() + at, &v, sizeof v); };
    std::memcpy(slot.data(), "BRVCRSH1", 8);
    put32(12, CrashFile::Signal);
    put32(16, SIGBUS);
    put32(20, 1);
    const quint64 frame = 0x4242;
    std::memcpy(slot.data() + 32, &frame, sizeof frame);
    std::memcpy(slot.data() + 40, "BRVEND01", 8);
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(slot);
    f.close();

    const std::vector<CrashFile::Entry> entries = CrashFile::readComplete(path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].signal, SIGBUS);
    EXPECT_EQ(entries[0].frames, std::vector<std::uint64_t>{0x4242});
    EXPECT_TRUE(entries[0].deliveryId.isNull());
}

TEST_F(CrashFileTest, TornOrOverflowingWritesAreNotReports) {
    ASSERT_TRUE(file_.open(path()));
    void* frames[] = {reinterpret_cast<void*>(0x10)};
    CrashFile::Record record;
    record.frames = frames;
    record.frameCount = 1;
    record.signal = SIGILL;
    for (int i = 0; i < CrashFile::kSlots; ++i) EXPECT_EQ(file_.write(record), i);
    EXPECT_EQ(file_.write(record), -1) << "every slot is taken";
    EXPECT_FALSE(file_.markDelivered(CrashFile::kSlots));

    // Cut the file in the middle of the second slot's report: the first stays
    // whole, the second lost its end marker, the rest are gone.
    QFile f(path());
    ASSERT_TRUE(f.resize(static_cast<qint64>(CrashFile::kSlotSize) + 40));
    const std::vector<CrashFile::Entry> entries = CrashFile::readComplete(path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].slot, 0);

    // A damaged length field cannot send the reader past the slot.
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(20);
    const quint32 huge = 0xfffffff0u;
    f.write(reinterpret_cast<const char*>(&huge), sizeof huge);
    f.close();
    EXPECT_TRUE(CrashFile::readComplete(path()).empty());
}

// On a full disk the reports an earlier run left can only be queued in
// memory: the crash file keeps them until a start can store them.
TEST(CrashRecovery, FullDiskLeavesTheReportsInTheCrashFile) {
    test::SmallDisk disk(1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    const QByteArray home = qgetenv("BRELVO_HOME");
    const auto restoreHome = qScopeGuard([&home] { qputenv("BRELVO_HOME", home); });
    qputenv("BRELVO_HOME", disk.path().toUtf8());
    if (!Defaults::standard().path().startsWith(disk.path()))
        GTEST_SKIP() << "the store was opened before this case; it needs a process of its own";
    const QString path = crash::crashFilePath();
    {
        CrashFile earlier;
        ASSERT_TRUE(earlier.open(path));
        void* frames[] = {reinterpret_cast<void*>(0x10)};
        CrashFile::Record record;
        record.frames = frames;
        record.frameCount = 1;
        record.signal = SIGSEGV;
        ASSERT_EQ(earlier.write(record), 0);
    }
    ASSERT_TRUE(disk.fill());

    crash::takeOverCrashFile(path);
    EXPECT_EQ(CrashHelper::queuedCrashes().size(), 1);
    const std::vector<CrashFile::Entry> left = CrashFile::readComplete(path);
    ASSERT_EQ(left.size(), 1u) << "emptied while its report was only in memory";
    EXPECT_FALSE(left[0].delivered);
}

namespace {
[[gnu::noinline]] int symbolizedFunction(int x) {
    return x * 3 + 1;
}
}  // namespace

TEST(CrashSymbols, NamesFunctionsAndSourceLines) {
    ASSERT_EQ(symbolizedFunction(1), 4);
    // A "return address" just past the function's first byte.
    const auto address = reinterpret_cast<std::uintptr_t>(&symbolizedFunction) + 1;
    const QStringList lines = crashsymbols::describe({address, 0x10}, crashsymbols::loadedModules());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("#0")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("symbolizedFunction(int)")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("CrashCapture_test.cpp:")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("???")) << "an address outside every module keeps its number: " << lines[1].toStdString();

    const QStringList here = BrelvoComponents::backtrace();
    ASSERT_FALSE(here.isEmpty());
    EXPECT_TRUE(here[0].contains("CrashSymbols_NamesFunctionsAndSourceLines")) << here[0].toStdString();
}

TEST(ErrorHandlerFile, CreatedOnceThenOnlyTheExitCodeChanges) {
    BrelvoComponents& facade = components();
    facade.setAppStatus(2);
    EXPECT_FALSE(QFile::exists(errorhandler::plistPath())) << "no file: nothing is written";

    facade.createMorivaFolderInDocumentsFolder();
    facade.createPlist();
    const QVariantMap created = readPlist();
    EXPECT_EQ(created.value("ExitCode"), QVariant("1"));
    const QString logName = created.value("MVLogFileName").toString();
    EXPECT_TRUE(logName.startsWith(errorhandler::folderPath() + "/")) << logName.toStdString();
    EXPECT_TRUE(logName.endsWith("MVLogFile.txt")) << logName.toStdString();

    facade.setAppStatus(2);
    facade.createPlist();
    const QVariantMap after = readPlist();
    EXPECT_EQ(after.value("ExitCode"), QVariant("2"));
    EXPECT_EQ(after.value("MVLogFileName").toString(), logName);

    // A file that is not a dictionary is made anew.
    QFile garbage(errorhandler::plistPath());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("not a property list");
    garbage.close();
    facade.createPlist();
    EXPECT_EQ(readPlist().value("ExitCode"), QVariant("1"));
}

namespace {
void hostHandler(int) {}
void libraryHandler(int) {}

void (*currentHandler(int signal))(int) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    return now.sa_handler;
}
}  // namespace

TEST(ReplaceHandler, KeepsTheHostsHandlerAndTakesDefaultOnes) {
    struct sigaction library {};
    library.sa_handler = &libraryHandler;
    sigemptyset(&library.sa_mask);

    ::signal(SIGUSR1, &hostHandler);
    BrelvoComponents::replaceBrelvoHandlerByUserHandler(SIGUSR1, library);
    EXPECT_EQ(currentHandler(SIGUSR1), &hostHandler);

    ::signal(SIGUSR2, SIG_IGN);
    BrelvoComponents::replaceBrelvoHandlerByUserHandler(SIGUSR2, library);
    EXPECT_EQ(currentHandler(SIGUSR2), SIG_IGN) << "an ignored signal stays ignored";

    ::signal(SIGURG, SIG_DFL);
    BrelvoComponents::replaceBrelvoHandlerByUserHandler(SIGURG, library);
    EXPECT_EQ(currentHandler(SIGURG), &libraryHandler);

    for (int s : {SIGUSR1, SIGUSR2, SIGURG}) ::signal(s, SIG_DFL);
}
