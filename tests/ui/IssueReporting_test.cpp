// The non-widget half of issue reporting: the stored screenshot list, the
// screenshot files, and the type and severity lists the pickers share with
// the ids sent.
#include "platform/Defaults.h"
#include "state/BrelIssueTypeDM.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "ui/issue/IssueChoices.h"
#include "ui/issue/ScreenshotStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

QString writeFile(const QString& name) {
    const QString path = QDir(test::home()).filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("png");
    return path;
}

QVariant stored() {
    return Defaults::standard().object(ScreenshotStore::kListKey);
}

}  // namespace

TEST(ScreenshotList, StoredTextRules) {
    const auto all = [](const QString&) { return true; };
    const QStringList six{"a", "b", "c", "d", "e", "f"};
    const QStringList five = six.mid(0, 5);
    // Five at most, with or without the empty first piece a clean leaves.
    EXPECT_EQ(ScreenshotStore::readBack(QString(",a,b,c,d,e,f"), all), five);
    EXPECT_EQ(ScreenshotStore::readBack(QString("a,b,c,d,e,f"), all), five);
    // Empty pieces and vanished files go; they take no place.
    EXPECT_EQ(ScreenshotStore::readBack(QString("a,,gone,,b,c,d,e,f"), [](const QString& p) { return p != "gone"; }),
              five);
    EXPECT_TRUE(ScreenshotStore::readBack(QVariant(), all).isEmpty());
    EXPECT_TRUE(ScreenshotStore::readBack(QVariantList{"a"}, all).isEmpty());

    EXPECT_EQ(ScreenshotStore::appended(QVariant(), "p"), "p");  // no key yet: the path is kept
    EXPECT_EQ(ScreenshotStore::appended(QString(""), "p"), ",p");
    EXPECT_EQ(ScreenshotStore::appended(QString("a,b"), "p"), "a,b,p");

    const QStringList three{"a", "b", "c"};
    EXPECT_EQ(ScreenshotStore::pathAt(three, 2), "c");
    EXPECT_EQ(ScreenshotStore::pathAt(three, qint64(0)), "a");
    for (const QVariant& bad : {QVariant(3), QVariant(-1), QVariant(1.5), QVariant("1"), QVariant(), QVariant(true)})
        EXPECT_TRUE(ScreenshotStore::pathAt(three, bad).isNull()) << bad.toString().toStdString();
}

TEST(ScreenshotStoreFiles, AppendDeleteAndSentFollowTheListAndTheFiles) {
    ScreenshotStore& store = ScreenshotStore::shared();
    ASSERT_FALSE(stored().isValid());
    const QString first = writeFile("1.png");
    ASSERT_TRUE(store.append(first));
    EXPECT_EQ(store.list(), QStringList{first});

    {
        test::LogCapture log("brelvo");
        EXPECT_FALSE(store.append(writeFile("with,comma.png")));
        EXPECT_EQ(log.count("cannot be listed"), 1);
    }
    QStringList paths{first};
    for (int i = 2; i <= 5; ++i) {
        paths.append(writeFile(QStringLiteral("%1.png").arg(i)));
        ASSERT_TRUE(store.append(paths.last()));
    }
    EXPECT_FALSE(store.append(writeFile("6.png")));
    EXPECT_FALSE(store.canAdd());
    EXPECT_EQ(store.list(), paths);

    // Deleting by path: the file and its place; an unlisted path deletes nothing.
    const QString stranger = writeFile("not-listed.png");
    EXPECT_FALSE(store.remove(stranger));
    EXPECT_TRUE(QFile::exists(stranger));
    EXPECT_TRUE(store.remove(paths[1]));
    EXPECT_FALSE(QFile::exists(paths[1]));
    paths.removeAt(1);
    EXPECT_EQ(store.list(), paths);

    // A file gone behind the store's back leaves the stored list too.
    QFile::remove(paths[0]);
    paths.removeFirst();
    EXPECT_EQ(store.list(), paths);
    EXPECT_EQ(stored().toString(), paths.join(','));

    // After a send only the sent ones go; one added meanwhile stays.
    const QStringList sent = paths;
    const QString added = writeFile("added.png");
    ASSERT_TRUE(store.append(added));
    store.removeSent(sent);
    EXPECT_EQ(store.list(), QStringList{added});
    for (const QString& p : sent) EXPECT_FALSE(QFile::exists(p));
}

TEST(ScreenshotStoreFiles, PicturesAreWrittenOnThePoolAndAFailedWriteKeepsWhatWasThere) {
    ScreenshotStore& store = ScreenshotStore::shared();
    QSignalSpy saved(&store, &ScreenshotStore::captureSaved), notSaved(&store, &ScreenshotStore::captureNotSaved);
    QSignalSpy edited(&store, &ScreenshotStore::editSaved), notEdited(&store, &ScreenshotStore::editNotSaved);
    QImage capture(64, 48, QImage::Format_ARGB32);
    capture.fill(QColor(10, 200, 30));
    capture.setPixelColor(3, 4, Qt::magenta);

    store.saveCapture(capture);
    ASSERT_TRUE(test::waitFor([&] { return saved.size() == 1; }));
    const QString path = saved.at(0).at(0).toString();
    EXPECT_TRUE(path.endsWith("_screenshot.png"));
    EXPECT_EQ(store.list(), QStringList{path});
    EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_ARGB32), capture);

    // An image that cannot be written: nothing listed, nothing left, the edited file as it was.
    const QStringList filesBefore = QFileInfo(path).dir().entryList(QDir::Files);
    store.saveCapture(QImage());
    store.saveEdited(path, QImage());
    ASSERT_TRUE(test::waitFor([&] { return notSaved.size() == 1 && notEdited.size() == 1; }));
    EXPECT_EQ(store.list(), QStringList{path});
    EXPECT_EQ(QFileInfo(path).dir().entryList(QDir::Files), filesBefore);
    EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_ARGB32), capture);

    QImage annotated = capture;
    annotated.fill(Qt::blue);
    store.saveEdited(path, annotated);
    ASSERT_TRUE(test::waitFor([&] { return edited.size() == 1; }));
    EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_ARGB32), annotated);
    EXPECT_EQ(saved.size(), 1);
}

TEST(IssueChoices, NamesAndIdsComeFromTheSameListAfterANewAuthentication) {
    const auto type = [](qint64 id, const char* name) {
        return *BrelIssueTypeDM::modelFromDictionary(QVariantMap{{"id", id}, {"name", name}, {"icon", "i"}});
    };
    IssueChoices choices;
    choices.setIssueTypes({type(1, "Bug"), type(2, "Crash")});
    choices.setIssueTypes({type(7, "Layout")});  // the next session's list
    EXPECT_EQ(choices.typeNames(), QStringList{"Layout"});
    EXPECT_EQ(choices.typeIcons(), QStringList{"i"});
    EXPECT_EQ(choices.typeId(0), "7");
    EXPECT_TRUE(choices.typeId(1).isNull());
    EXPECT_TRUE(choices.typeId(-1).isNull());
    EXPECT_TRUE(choices.priorityId(0).isNull());
}
