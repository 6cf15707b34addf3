#include "platform/AppInfo.h"
#include "platform/AppPaths.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace appinfo = brelvo::appinfo;
namespace paths = brelvo::paths;

namespace {

TEST(AppPaths, FoldersLieUnderHomeExistDifferAndAMissingHomeIsCreated) {
    const QString home = QDir(brelvo::test::home()).canonicalPath();
    const QStringList folders{paths::documents(), paths::caches(), paths::temporary()};
    for (const QString& folder : folders) {
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
        EXPECT_TRUE(QFileInfo(folder).canonicalFilePath().startsWith(home + '/')) << folder.toStdString();
    }
    EXPECT_NE(folders[0], folders[1]);
    EXPECT_NE(folders[0], folders[2]);
    EXPECT_NE(folders[1], folders[2]);

    const QByteArray before = qgetenv("BRELVO_HOME");
    const QString fresh = QDir(home).filePath(QStringLiteral("new/nested/home"));
    qputenv("BRELVO_HOME", fresh.toUtf8());
    EXPECT_TRUE(QFileInfo(paths::caches()).isDir());
    EXPECT_TRUE(paths::documents().startsWith(fresh));
    qputenv("BRELVO_HOME", before);
}

TEST(AppInfo, PropertyBeatsEnvironmentWhichIsTheUpperCaseKey) {
    const QString key = QStringLiteral("brelvo_test_key");
    EXPECT_FALSE(appinfo::value(key).isValid());

    qputenv("BRELVO_TEST_KEY", "from env");
    EXPECT_EQ(appinfo::value(key), QVariant(QStringLiteral("from env")));

    qApp->setProperty("brelvo_test_key", 42);
    EXPECT_EQ(appinfo::value(key), QVariant(42));

    qApp->setProperty("brelvo_test_key", QVariant());
    EXPECT_EQ(appinfo::value(key), QVariant(QStringLiteral("from env")));

    // An empty variable is set: its value is the empty text, not none.
    qputenv("BRELVO_TEST_KEY", "");
    EXPECT_EQ(appinfo::value(key), QVariant(QString("")));
    qunsetenv("BRELVO_TEST_KEY");
    EXPECT_FALSE(appinfo::value(key).isValid());
}

TEST(AppInfo, ServiceUrlEndsWithSlashAndBundleIdentifierPrefersDesktopFileName) {
    qunsetenv("BRELVO_SERVICE_URL");
    EXPECT_EQ(appinfo::serviceUrl(), QStringLiteral("http://127.0.0.1:8642/"));

    qputenv("BRELVO_SERVICE_URL", "https://beta.example.test/api");
    EXPECT_EQ(appinfo::serviceUrl(), QStringLiteral("https://beta.example.test/api/"));

    qApp->setProperty("brelvo_service_url", QStringLiteral("http://host:1/x/"));
    EXPECT_EQ(appinfo::serviceUrl(), QStringLiteral("http://host:1/x/"));
    qApp->setProperty("brelvo_service_url", QVariant());

    QCoreApplication::setOrganizationDomain(QStringLiteral("example.test"));
    QCoreApplication::setApplicationName(QStringLiteral("host"));
    EXPECT_EQ(appinfo::bundleIdentifier(), QStringLiteral("example.test.host"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Host"));
    EXPECT_EQ(appinfo::bundleIdentifier(), QStringLiteral("org.example.Host"));
}

}  // namespace
