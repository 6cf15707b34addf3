#include "platform/Defaults.h"

#include "platform/FileReplace.h"
#include "platform/PlatformTestUtil.h"
#include "support/SmallDisk.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <limits>
#include <functional>
#include <thread>
#include <vector>

using brelvo::Defaults;
using brelvo::test::LogCapture;
using brelvo::test::SmallDisk;
using brelvo::test::sameValue;

namespace {

QString storePath(const QString& name = QStringLiteral("store.sqlite")) {
    return QDir(brelvo::test::home()).filePath(name);
}

// The damaged files kept aside (their logs, kept beside them, not counted).
QStringList corruptCopies(const QString& path) {
    const QFileInfo info(path);
    QStringList copies = QDir(info.absolutePath()).entryList({info.fileName() + QStringLiteral(".corrupt-*")},
                                                             QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    copies.removeIf([](const QString& name) { return name.endsWith(QStringLiteral("-wal")); });
    return copies;
}

// A store of 300 values, closed cleanly, so that the file holds them all.
void fillAndClose(const QString& path) {
    Defaults store(path);
    for (int i = 0; i < 300; ++i) store.setObject(QByteArray(1500, char(i)), QStringLiteral("key-%1").arg(i));
    ASSERT_TRUE(store.synchronize());
}

// Overwrites every page but the first, which holds the header and the
// schema: the file still opens, and any look at the values meets damage.
void damageAllButTheSchema(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QByteArray header = f.read(100);
    ASSERT_EQ(header.size(), 100);
    const qint64 pageSize = (quint8(header[16]) << 8) | quint8(header[17]);
    ASSERT_GT(f.size(), 2 * pageSize);
    QByteArray garbage(f.size() - pageSize, Qt::Uninitialized);
    for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 17) ^ (i >> 5));
    ASSERT_TRUE(f.seek(pageSize));
    ASSERT_EQ(f.write(garbage), garbage.size());
}

// The same bytes the writer child stores under "entry-<i>".
QByteArray writerPayload(int i) {
    const int size = (i % 7 == 0) ? 256 * 1024 : 64 + (i * 37) % 4096;
    QByteArray bytes(size, Qt::Uninitialized);
    for (int k = 0; k < size; ++k) bytes[k] = static_cast<char>((i * 31 + k) & 0xff);
    return bytes;
}

QVariantList appendTo(const QVariant& current, const QVariant& element) {
    QVariantList list = current.toList();
    list.append(element);
    return list;
}

// ---------------------------------------------------------------- values

struct Sample {
    const char* key;
    QVariant value;
};

std::vector<Sample> samples() {
    QByteArray big(20 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
    return {
        {"string", QStringLiteral("plain text")}, {"empty string", QString("")},
        {"unicode string", QStringLiteral("Grüße 漢字 🔑")}, {"zero", qint64(0)}, {"negative", qint64(-1)},
        {"int64 min", std::numeric_limits<qint64>::min()}, {"int64 max", std::numeric_limits<qint64>::max()},
        {"beyond 2^53", qint64(9007199254740993LL)}, {"double", 0.1}, {"big double", -1.5e300},
        {"true", true}, {"false", false}, {"data", QByteArray("\x00\x01\x02\xff", 4)}, {"empty data", QByteArray()},
        {"20 MB data", big},
        {"date", QDateTime(QDate(2031, 7, 4), QTime(8, 9, 10, 11), QTimeZone::utc())},
        {"old date", QDateTime(QDate(1970, 1, 1), QTime(0, 0, 0, 1), QTimeZone::utc())},
        {"nested",
         QVariantMap{{"list", QVariantList{qint64(1), QStringLiteral("a"), QVariantMap{{"deep", QVariantList{}}}}},
                     {"map", QVariantMap{{"x", 2.5}, {"y", QByteArray("z")}}},
                     {"empty map", QVariantMap{}}}},
        {"ключ-🔑 ü", QStringLiteral("unicode key")},
    };
}

TEST(Defaults, EveryKindRoundTripsThroughAReopen) {
    const auto values = samples();
    {
        Defaults store(storePath());
        ASSERT_TRUE(store.isPersistent());
        for (const Sample& s : values) store.setObject(s.value, QString::fromUtf8(s.key));
        // Visible at once, before anything reached the file.
        for (const Sample& s : values)
            EXPECT_TRUE(sameValue(s.value, store.object(QString::fromUtf8(s.key)), QString::fromUtf8(s.key)));
        ASSERT_TRUE(store.synchronize());
    }
    Defaults reopened(storePath());
    for (const Sample& s : values)
        EXPECT_TRUE(sameValue(s.value, reopened.object(QString::fromUtf8(s.key)), QString::fromUtf8(s.key)));
    EXPECT_FALSE(reopened.object(QStringLiteral("never written")).isValid());
}

TEST(Defaults, OverwritesAndDeletionsReachAStoreOpenedBesideTheWriter) {
    Defaults store(storePath());
    store.setObject(QStringLiteral("x"), QStringLiteral("by invalid"));
    store.setObject(QStringLiteral("y"), QStringLiteral("by remove"));
    store.setObject(QStringLiteral("one"), QStringLiteral("replaced"));
    store.setObject(qint64(2), QStringLiteral("b"));
    ASSERT_TRUE(store.synchronize());
    store.setObject(QVariant(), QStringLiteral("by invalid"));
    store.removeObject(QStringLiteral("by remove"));
    store.setObject(QStringLiteral("two"), QStringLiteral("replaced"));
    EXPECT_FALSE(store.object(QStringLiteral("by invalid")).isValid());
    EXPECT_FALSE(store.object(QStringLiteral("by remove")).isValid());
    ASSERT_TRUE(store.synchronize());

    Defaults beside(storePath());
    EXPECT_FALSE(beside.object(QStringLiteral("by invalid")).isValid());
    EXPECT_FALSE(beside.object(QStringLiteral("by remove")).isValid());
    EXPECT_EQ(beside.object(QStringLiteral("replaced")), QVariant(QStringLiteral("two")));
    EXPECT_TRUE(sameValue(qint64(2), beside.object(QStringLiteral("b"))));
}

TEST(Defaults, ValueWithoutPropertyListFormIsRefused) {
    LogCapture log;
    Defaults store(storePath());
    store.setObject(QStringLiteral("kept"), QStringLiteral("k"));
    store.setObject(QVariant(QPoint(1, 2)), QStringLiteral("k"));
    store.setObject(QVariantList{1, QVariant(QPoint(1, 2))}, QStringLiteral("k"));
    store.setObject(QVariant(QPoint(3, 4)), QStringLiteral("fresh"));
    EXPECT_EQ(store.object(QStringLiteral("k")), QVariant(QStringLiteral("kept")));
    EXPECT_FALSE(store.object(QStringLiteral("fresh")).isValid());
    EXPECT_GE(log.count(QStringLiteral("refused")), 3);

    const QVariant after = store.update(QStringLiteral("k"), [](const QVariant&) { return QVariant(QPoint(5, 6)); });
    EXPECT_EQ(after, QVariant(QStringLiteral("kept")));
    EXPECT_EQ(store.object(QStringLiteral("k")), QVariant(QStringLiteral("kept")));
}

TEST(Defaults, UpdateIsDurableWhenItReturns) {
    {
        Defaults store(storePath());
        const QVariant result = store.update(QStringLiteral("q"), [](const QVariant& v) { return appendTo(v, 1); });
        EXPECT_TRUE(sameValue(QVariantList{1}, result));
        store.update(QStringLiteral("q"), [](const QVariant& v) { return appendTo(v, 2); });
        Defaults beside(storePath());
        EXPECT_TRUE(sameValue(QVariantList{qint64(1), qint64(2)}, beside.object(QStringLiteral("q"))));
        store.update(QStringLiteral("q"), [](const QVariant&) { return QVariant(); });
    }
    Defaults reopened(storePath());
    EXPECT_FALSE(reopened.object(QStringLiteral("q")).isValid());
}

// ---------------------------------------------------------------- durability

// A child writes entries and appends their numbers to "queue", printing each
// number once both calls returned; it is killed at varied points. Nothing it
// reported may be lost or torn, and the queue has no gaps or repeats and at
// most one entry beyond the last reported one (committed, not yet printed).
TEST(Defaults, AcknowledgedWritesSurviveSigkill) {
    const QString path = storePath(QStringLiteral("durable.sqlite"));
    const int rounds = 40;
    int next = 0;          // the first number of the next round
    int lastAcked = -1;    // the highest number a child reported
    QElapsedTimer clock;
    clock.start();

    for (int round = 0; round < rounds; ++round) {
        // 0 = kill as soon as the process exists; otherwise wait for 1..6 reports.
        const int wanted = (round % 4 == 0) ? 0 : 1 + (round * 5) % 6;
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QStringLiteral(DEFAULTS_WRITER), {path, QString::number(next)});
        ASSERT_TRUE(child.waitForStarted(10000)) << child.errorString().toStdString();

        QByteArray out;
        int acked = 0;
        QElapsedTimer deadline;
        deadline.start();
        while (acked < wanted && child.state() == QProcess::Running && deadline.elapsed() < 60000) {
            child.waitForReadyRead(100);
            out += child.readAllStandardOutput();
            acked = static_cast<int>(out.count('\n'));
        }
        ASSERT_GE(acked, wanted) << "round " << round << ": the writer stopped early, exit code "
                                 << child.exitCode() << ", stderr: " << child.readAllStandardError().toStdString();
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        out += child.readAllStandardOutput();

        // Only whole lines count: each was written after its entry was durable.
        const QList<QByteArray> lines = out.left(out.lastIndexOf('\n') + 1).split('\n');
        int expect = next;
        for (const QByteArray& line : lines) {
            if (line.isEmpty()) continue;
            bool ok = false;
            const int i = line.toInt(&ok);
            ASSERT_TRUE(ok && i == expect) << "round " << round << ": unexpected line " << line.toStdString();
            lastAcked = i;
            ++expect;
        }

        Defaults store(path);
        ASSERT_TRUE(store.isPersistent());
        const QVariantList queue = store.object(QStringLiteral("queue")).toList();
        const qsizetype known = qMax<qsizetype>(next, lastAcked + 1);
        ASSERT_GE(queue.size(), known) << "round " << round << ": a reported entry is missing from the queue";
        ASSERT_LE(queue.size(), known + 1) << "round " << round << ": more entries than the writer could have made";
        for (qsizetype i = 0; i < queue.size(); ++i)
            ASSERT_EQ(queue[i].toLongLong(), i) << "round " << round << ": queue out of order at " << i;
        // Every entry on record, and the one being written at the kill if it
        // made it, holds exactly its bytes.
        const int top = static_cast<int>(queue.size());
        for (int i = next; i <= top; ++i) {
            const QVariant entry = store.object(QStringLiteral("entry-%1").arg(i));
            if (i < top) {
                ASSERT_TRUE(entry.isValid()) << "round " << round << ": entry-" << i << " lost";
            }
            if (entry.isValid()) {
                ASSERT_EQ(entry.toByteArray(), writerPayload(i)) << "round " << round << ": entry-" << i << " torn";
            }
        }
        next = top;
    }

    // Earlier rounds' entries are still intact at the end.
    Defaults store(path);
    for (int i = 0; i < next; ++i)
        ASSERT_EQ(store.object(QStringLiteral("entry-%1").arg(i)).toByteArray(), writerPayload(i)) << i;
    EXPECT_GT(lastAcked, rounds);  // the kills did land after real work
    EXPECT_TRUE(corruptCopies(path).isEmpty()) << "a kill left the store unreadable";
    std::printf("durability: %d rounds, %d entries acknowledged, %lld ms\n", rounds, lastAcked + 1,
                static_cast<long long>(clock.elapsed()));
}

// ---------------------------------------------------------------- threads

TEST(Defaults, ConcurrentUpdatesLoseNothing) {
    const int threads = 8, perThread = 50;
    const QString path = storePath();
    {
        Defaults store(path);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&store, t] {
                for (int i = 0; i < perThread; ++i)
                    store.update(QStringLiteral("queue"),
                                 [&](const QVariant& v) { return appendTo(v, QStringLiteral("%1:%2").arg(t).arg(i)); });
            });
        }
        for (auto& w : workers) w.join();
    }

    Defaults reopened(path);
    const QVariantList queue = reopened.object(QStringLiteral("queue")).toList();
    ASSERT_EQ(queue.size(), threads * perThread);
    std::vector<int> nextOf(threads, 0);
    for (const QVariant& v : queue) {
        const QStringList parts = v.toString().split(':');
        ASSERT_EQ(parts.size(), 2);
        const int t = parts[0].toInt(), i = parts[1].toInt();
        ASSERT_EQ(i, nextOf[t]) << "thread " << t << ": appended out of order or twice";
        ++nextOf[t];
    }
}

TEST(Defaults, ReadersAlongsideWritersSeeWholeValues) {
    const QString path = storePath();
    Defaults store(path);
    const int writers = 4, readers = 4, keysPerWriter = 8, passes = 40;
    std::atomic<bool> writing{true};
    std::atomic<int> badReads{0};

    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            for (int pass = 0; pass < passes; ++pass) {
                for (int k = 0; k < keysPerWriter; ++k) {
                    const QString key = QStringLiteral("w%1-k%2").arg(w).arg(k);
                    if ((pass + k) % 5 == 4)
                        store.removeObject(key);
                    else
                        store.setObject(QVariantMap{{"key", key}, {"pass", pass}, {"blob", QByteArray(512 + k, 'x')}},
                                        key);
                }
                if (pass % 3 == 0) store.synchronize();
            }
            // Leave every key with a known last value.
            for (int k = 0; k < keysPerWriter; ++k) {
                const QString key = QStringLiteral("w%1-k%2").arg(w).arg(k);
                store.setObject(QVariantMap{{"key", key}, {"pass", passes}, {"blob", QByteArray(512 + k, 'x')}}, key);
            }
            store.synchronize();
        });
    }
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&, r] {
            int i = r;
            while (writing.load()) {
                const QString key = QStringLiteral("w%1-k%2").arg(i % writers).arg((i / writers) % keysPerWriter);
                const QVariant v = store.object(key);
                if (v.isValid() && v.toMap().value("key").toString() != key) ++badReads;
                ++i;
            }
        });
    }
    for (int w = 0; w < writers; ++w) threads[w].join();
    writing = false;
    for (int r = 0; r < readers; ++r) threads[writers + r].join();
    EXPECT_EQ(badReads.load(), 0);

    Defaults reopened(path);
    for (int w = 0; w < writers; ++w)
        for (int k = 0; k < keysPerWriter; ++k) {
            const QString key = QStringLiteral("w%1-k%2").arg(w).arg(k);
            EXPECT_EQ(reopened.object(key).toMap().value("pass").toInt(), passes) << key.toStdString();
        }
}

// ---------------------------------------------------------------- bad input

// A store whose file was not usable: it starts empty, works, and persists
// to a new file; the old one is kept beside it and one log line says where.
TEST(Defaults, UnusableFileIsMovedAsideAndStoreStartsEmpty) {
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 17) ^ (i >> 5));
    const auto writeGarbage = [&](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    };
    const auto truncateAStore = [](const QString& path) {
        fillAndClose(path);  // closing folds the log into the main file
        ASSERT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
        const qint64 size = QFileInfo(path).size();
        ASSERT_GT(size, 100 * 1024);
        ASSERT_TRUE(QFile::resize(path, size / 3 + 100));
    };
    const auto makeDirectory = [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); };
    // The file and its log copied while a store has them open, as a kill
    // leaves them; the damage lies where opening alone would not look.
    const auto damageWhileOpen = [](const QString& path) {
        const QString source = path + QStringLiteral(".source");
        fillAndClose(source);
        Defaults open(source);
        ASSERT_EQ(open.object(QStringLiteral("key-1")).toByteArray(), QByteArray(1500, char(1)));
        ASSERT_TRUE(QFile::exists(source + QStringLiteral("-wal")));
        ASSERT_TRUE(QFile::copy(source, path));
        ASSERT_TRUE(QFile::copy(source + QStringLiteral("-wal"), path + QStringLiteral("-wal")));
        damageAllButTheSchema(path);
    };
    const std::pair<const char*, std::function<void(const QString&)>> cases[] = {
        {"garbage", writeGarbage}, {"truncated", truncateAStore}, {"directory", makeDirectory},
        {"damaged, not closed", damageWhileOpen}};

    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        const QString path = storePath(QString::fromLatin1(what) + QStringLiteral(".sqlite"));
        make(path);
        LogCapture log;
        Defaults store(path);
        EXPECT_TRUE(store.isPersistent());
        EXPECT_EQ(corruptCopies(path).size(), 1) << "not found unusable when opened";
        EXPECT_FALSE(store.object(QStringLiteral("anything")).isValid());
        const QStringList aside = corruptCopies(path);
        ASSERT_EQ(aside.size(), 1) << "the unusable file was not kept aside";
        EXPECT_EQ(log.count(aside.first()), 1) << log.lines().join('\n').toStdString();

        store.setObject(QStringLiteral("works"), QStringLiteral("after"));
        ASSERT_TRUE(store.synchronize());
        EXPECT_TRUE(QFileInfo(path).isFile());
        Defaults reopened(path);
        EXPECT_EQ(reopened.object(QStringLiteral("after")), QVariant(QStringLiteral("works")));
        EXPECT_EQ(corruptCopies(path).size(), 1) << "the new file was moved aside too";
    }
    const QString garbagePath = storePath(QStringLiteral("garbage.sqlite"));
    EXPECT_EQ(brelvo::test::readFile(QFileInfo(garbagePath).absoluteDir().filePath(corruptCopies(garbagePath).value(0))),
              garbage)
        << "the kept copy is not the old file";
}

// A file closed cleanly is not read whole when opened; damage met later by a
// read or a write is dealt with as at an open: the file goes aside and the
// store starts empty, keeping the writes made since it was opened.
TEST(Defaults, DamageFoundAfterTheOpenMovesTheFileAside) {
    const QString readKey = QStringLiteral("key-7");
    const std::pair<const char*, std::function<void(Defaults&)>> cases[] = {
        {"by a read", [&](Defaults& store) { EXPECT_FALSE(store.object(readKey).isValid()); }},
        {"by a write",
         [](Defaults& store) {
             store.setObject(QStringLiteral("written"), QStringLiteral("new"));
             EXPECT_TRUE(store.synchronize());
         }},
    };
    for (const auto& [how, meetDamage] : cases) {
        SCOPED_TRACE(how);
        const QString path = storePath(QString::fromLatin1(how) + QStringLiteral(".sqlite"));
        fillAndClose(path);
        damageAllButTheSchema(path);

        LogCapture log;
        Defaults store(path);
        store.setObject(QStringLiteral("before"), QStringLiteral("kept"));
        meetDamage(store);
        const QStringList aside = corruptCopies(path);
        ASSERT_EQ(aside.size(), 1) << log.lines().join('\n').toStdString();
        EXPECT_EQ(log.count(aside.first()), 1) << log.lines().join('\n').toStdString();
        EXPECT_FALSE(store.object(QStringLiteral("key-3")).isValid());
        EXPECT_EQ(store.object(QStringLiteral("kept")), QVariant(QStringLiteral("before")));
        ASSERT_TRUE(store.synchronize());

        Defaults reopened(path);
        EXPECT_EQ(reopened.object(QStringLiteral("kept")), QVariant(QStringLiteral("before")));
        EXPECT_FALSE(reopened.object(readKey).isValid());
        EXPECT_EQ(corruptCopies(path).size(), 1) << "the new file was moved aside too";
    }
}

// The process-wide store is never destroyed, but an application that ends
// normally closes its file: one left open costs a full check at the next start.
TEST(Defaults, StandardStoreIsClosedCleanlyAtExit) {
    QProcess child;
    child.start(QStringLiteral(DEFAULTS_WRITER), {QStringLiteral("--standard")});
    ASSERT_TRUE(child.waitForFinished(30000));
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    const QString path = QDir(brelvo::test::home()).filePath(QStringLiteral("Documents/brelvo-defaults.sqlite"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
    Defaults store(path);
    EXPECT_EQ(store.object(QStringLiteral("written")), QVariant(QStringLiteral("at exit")));
}

TEST(Defaults, StoreWithoutAnyWritableFileKeepsValuesInMemory) {
    // A regular file where the folder should be: no file can be made under it,
    // whoever runs the test (permissions would not stop root).
    const QString blocker = storePath(QStringLiteral("not-a-folder"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString path = QDir(blocker).filePath(QStringLiteral("store.sqlite"));
    LogCapture log;
    Defaults store(path);
    EXPECT_FALSE(store.isPersistent());
    EXPECT_EQ(log.count(QStringLiteral("memory")), 1) << log.lines().join('\n').toStdString();

    store.setObject(QStringLiteral("v"), QStringLiteral("k"));
    EXPECT_EQ(store.object(QStringLiteral("k")), QVariant(QStringLiteral("v")));
    store.synchronize();
    EXPECT_TRUE(sameValue(QVariantList{1}, store.update(QStringLiteral("q"), [](const QVariant& v) {
        return appendTo(v, 1);
    })));
    EXPECT_TRUE(sameValue(QVariantList{1}, store.object(QStringLiteral("q"))));
    EXPECT_TRUE(QFileInfo(blocker).isFile());
}

// A full disk is no damage: the file stays as it is, what it holds can still
// be read, writes wait in memory and land once there is room again. Files
// replaced beside it on the same disk keep their old contents.
TEST(Defaults, FullDiskKeepsTheFileAndWritesWhatWaitedOnceThereIsRoom) {
    SmallDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    const QString path = disk.filePath(QStringLiteral("store.sqlite"));
    const QString identity = disk.filePath(QStringLiteral("identity"));
    {
        Defaults seed(path);
        seed.setObject(QVariantList{QStringLiteral("crash 1")}, QStringLiteral("queue"));
        seed.setObject(QStringLiteral("payload"), QStringLiteral("login"));
        ASSERT_TRUE(seed.synchronize());
    }
    ASSERT_TRUE(brelvo::files::replaceContentsSynced(identity, "ID-1\n"));
    ASSERT_TRUE(disk.fill());

    LogCapture log;
    Defaults store(path);
    EXPECT_TRUE(corruptCopies(path).isEmpty()) << log.lines().join('\n').toStdString();
    EXPECT_EQ(store.object(QStringLiteral("login")), QVariant(QStringLiteral("payload")));
    store.update(QStringLiteral("queue"), [](const QVariant& v) { return appendTo(v, QStringLiteral("crash 2")); });
    store.setObject(QStringLiteral("new"), QStringLiteral("later"));
    EXPECT_FALSE(store.synchronize());
    EXPECT_EQ(store.object(QStringLiteral("queue")).toStringList(), QStringList({"crash 1", "crash 2"}));
    EXPECT_EQ(log.count(path), 1) << "one warning, not one per write:\n" << log.lines().join('\n').toStdString();

    EXPECT_FALSE(brelvo::files::replaceContentsSynced(identity, "ID-2\n"));
    QFile kept(identity);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "ID-1\n");

    ASSERT_TRUE(disk.release());
    EXPECT_TRUE(store.synchronize());
    Defaults beside(path);
    EXPECT_EQ(beside.object(QStringLiteral("queue")).toStringList(), QStringList({"crash 1", "crash 2"}));
    EXPECT_EQ(beside.object(QStringLiteral("later")), QVariant(QStringLiteral("new")));
    EXPECT_EQ(beside.object(QStringLiteral("login")), QVariant(QStringLiteral("payload")));
}

TEST(Defaults, StoredBytesThatAreNoPropertyListReadAsNone) {
    const QString path = storePath();
    {
        Defaults store(path);
        store.setObject(QStringLiteral("fine"), QStringLiteral("good"));
        store.setObject(QStringLiteral("soon garbage"), QStringLiteral("overwritten"));
        ASSERT_TRUE(store.synchronize());
    }
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        char* error = nullptr;
        const int rc = sqlite3_exec(db,
                                    "INSERT INTO defaults (key, value) VALUES ('garbage', x'00010203fffe'), "
                                    "('empty', x''), ('cut binary', CAST('bplist00' AS BLOB) || x'd10102'), "
                                    "('cut xml', CAST('<?xml version=\"1.0\"?><plist><dict><key>' AS BLOB));"
                                    "UPDATE defaults SET value = x'deadbeef' WHERE key = 'overwritten';",
                                    nullptr, nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }
    LogCapture log;
    Defaults store(path);
    for (const char* key : {"garbage", "empty", "cut binary", "cut xml", "overwritten"})
        EXPECT_FALSE(store.object(QString::fromUtf8(key)).isValid()) << key;
    EXPECT_EQ(store.object(QStringLiteral("good")), QVariant(QStringLiteral("fine")));
    EXPECT_GE(log.count(QStringLiteral("garbage")), 1) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(corruptCopies(path).isEmpty()) << "one unreadable value is no reason to drop the store";

    store.setObject(QStringLiteral("replaced"), QStringLiteral("garbage"));
    ASSERT_TRUE(store.synchronize());
    Defaults reopened(path);
    EXPECT_EQ(reopened.object(QStringLiteral("garbage")), QVariant(QStringLiteral("replaced")));
}

}  // namespace
