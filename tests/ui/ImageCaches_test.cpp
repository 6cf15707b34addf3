#include "platform/ActivityIndicator.h"
#include "platform/AppPaths.h"
#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/HttpGet.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "ui/images/Brel_ImageCache.h"
#include "ui/images/ImageCacheFiles.h"
#include "ui/images/imageCAcheBrelvo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QSet>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <memory>
#include <thread>

using brelvo::Brel_ImageCache;
using brelvo::imageCAcheBrelvo;
namespace imagecache = brelvo::imagecache;

namespace {

using brelvo::test::drainPool;
using brelvo::test::pngOf;
using brelvo::test::readFile;

int indicatorsIn(const QWidget& view) {
    return static_cast<int>(view.findChildren<brelvo::ActivityIndicator*>().size());
}

// A picture server on a free loopback port that counts what it is asked.
class PictureServer {
public:
    PictureServer() {
        http_.server().set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
            ++requests;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        http_.server().Get("/red.png", [](const httplib::Request&, httplib::Response& res) {
            const QByteArray png = pngOf(Qt::red);
            res.set_content(png.toStdString(), "image/png");
        });
        http_.server().Get("/blue.png", [](const httplib::Request&, httplib::Response& res) {
            const QByteArray png = pngOf(Qt::blue, QSize(5, 4));
            res.set_content(png.toStdString(), "image/png");
        });
        http_.server().Get("/garbage.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html>not a picture</html>", "text/html");
        });
        http_.server().Get("/moved.png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(url("red.png").toStdString());
        });
        http_.server().Get("/slow.png", [this](const httplib::Request&, httplib::Response& res) {
            for (int i = 0; i < 200 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const QByteArray png = pngOf(Qt::green);
            res.set_content(png.toStdString(), "image/png");
        });
        http_.start();
    }
    ~PictureServer() {
        release = true;  // lets a slow answer end, so the server can stop
        http_.stop();
    }
    QString url(const char* path) const { return http_.url(QLatin1String(path)); }

    std::atomic<int> requests{0};
    std::atomic<bool> release{false};

private:
    brelvo::test::LocalHttpServer http_;
};

class ImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override { brelvo::http::setDefaultGetTimeout(std::chrono::milliseconds(5000)); }
    void TearDown() override { drainPool(); }
    PictureServer server;
};

}  // namespace

TEST(CacheFileNames, FollowTheUrlMappingAndStayInsideTheCachesFolderWhateverTheUrlHolds) {
    EXPECT_EQ(imagecache::fileNameForURL(QStringLiteral("http://a/b.png")), QStringLiteral("a_b_png"));
    EXPECT_EQ(imagecache::filePathForURL(QStringLiteral("http://a/b.png")),
              QDir(brelvo::paths::caches()).filePath(QStringLiteral("a_b_png.png")));
    EXPECT_EQ(imagecache::fileNameForURL(QStringLiteral("https://a/b.png")), QStringLiteral("https:__a_b_png"));
    EXPECT_EQ(imagecache::fileNameForURL(QStringLiteral("http://cdn.example.com:8080/u/42-x.jpg")),
              QStringLiteral("cdn_example_com:8080_u_42-x_jpg"));

    const QString caches = QFileInfo(brelvo::paths::caches()).canonicalFilePath();
    const QString hostile[] = {
        QStringLiteral(".."),
        QStringLiteral("http://../../../etc/passwd"),
        QStringLiteral("..\\..\\windows\\x"),
        QStringLiteral("http://a/") + QChar(0) + QStringLiteral("/b"),
        QStringLiteral("http://a/%2e%2e/%2F/b?q=1&r=\"x\"#frag"),
        QStringLiteral("http://a/\n\r\t b"),
        QStringLiteral("http://\u00fcber.example/\u732b.png"),
        QStringLiteral("http://a/") + QString(5000, QLatin1Char('x')),
        QStringLiteral("http://a/") + QString(3000, QChar(0x732b)),
        QString(),
    };
    QSet<QString> names;
    for (const QString& url : hostile) {
        const QString name = imagecache::fileNameForURL(url);
        names.insert(name);
        EXPECT_LE(name.toUtf8().size(), imagecache::kMaxNameBytes) << qPrintable(url.left(40));
        for (const QChar c : name) EXPECT_TRUE(c.unicode() > 32 && c.unicode() < 127 && c != u'/' && c != u'\\');
        const QString path = imagecache::filePathForURL(url);
        ASSERT_TRUE(imagecache::writeAtomically(path, "x")) << qPrintable(path);
        EXPECT_EQ(QFileInfo(QFileInfo(path).canonicalFilePath()).path(), caches) << qPrintable(path);
    }
    EXPECT_EQ(names.size(), static_cast<int>(std::size(hostile)));

    // URLs that differ only in characters the names cannot hold keep apart,
    // and so do long ones that differ only at the end.
    EXPECT_NE(imagecache::fileNameForURL(QStringLiteral("http://a/b c")), imagecache::fileNameForURL(QStringLiteral("http://a/b_c")));
    EXPECT_NE(imagecache::fileNameForURL(QStringLiteral("http://a/\u732b")), imagecache::fileNameForURL(QStringLiteral("http://a/\u72ac")));
    const QString longUrl = QStringLiteral("http://a/") + QString(400, QLatin1Char('y'));
    EXPECT_NE(imagecache::fileNameForURL(longUrl + QStringLiteral("1")), imagecache::fileNameForURL(longUrl + QStringLiteral("2")));
}

TEST_F(ImageCacheTest, SetImageByUrlDownloadsOnceThenShowsTheCacheFile) {
    const QString url = server.url("red.png");
    const QString path = imagecache::filePathForURL(url);
    ASSERT_FALSE(QFile::exists(path));

    QLabel first;
    Brel_ImageCache::shared().setImageByURL(url, &first);
    EXPECT_TRUE(first.pixmap().isNull()) << "the download finishes after the call returns";
    ASSERT_TRUE(brelvo::test::waitFor([&] { return !first.pixmap().isNull(); }));
    EXPECT_EQ(first.pixmap().size(), QSize(8, 6));
    EXPECT_EQ(readFile(path), pngOf(Qt::red)) << "the downloaded bytes are cached unchanged";
    EXPECT_EQ(server.requests, 1);

    QLabel second;
    Brel_ImageCache::shared().setImageByURL(url, &second);
    EXPECT_EQ(second.pixmap().size(), QSize(8, 6)) << "a cached picture is shown at once";
    EXPECT_EQ(server.requests, 1);
}

TEST_F(ImageCacheTest, TheIndicatorsGoWhenTheDownloadEnds) {
    Brel_ImageCache& cache = Brel_ImageCache::shared();

    QLabel view;
    view.resize(100, 80);
    QWidget inner(&view);
    cache.applyAIVTo(&view);
    cache.applyAIVTo(&inner);
    ASSERT_TRUE(brelvo::test::waitFor([&] { return indicatorsIn(view) == 2; }));
    const auto* indicator = view.findChild<brelvo::ActivityIndicator*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(indicator->isAnimating());
    EXPECT_EQ(QRectF(indicator->geometry()).center(), QPointF(50, 40));

    cache.setImageByURL(server.url("garbage.png"), &view);  // even a failed download removes them
    ASSERT_TRUE(drainPool());
    EXPECT_EQ(indicatorsIn(view), 0);

    cache.setToShowActivityIndicator(false);
    cache.applyAIVTo(&view);
    ASSERT_TRUE(drainPool());
    EXPECT_EQ(indicatorsIn(view), 0);
    cache.setToShowActivityIndicator(true);
}

TEST_F(ImageCacheTest, AnEmptyUrlFetchesNothingAndFailedDownloadsLeaveTheViewAndTheCacheAlone) {
    QLabel empty;
    Brel_ImageCache::shared().setImageByURL(QString(), &empty);
    ASSERT_TRUE(drainPool());
    EXPECT_TRUE(empty.pixmap().isNull());
    EXPECT_EQ(server.requests, 0);

    brelvo::http::setDefaultGetTimeout(std::chrono::milliseconds(300));
    const QPixmap before = QPixmap::fromImage(QImage::fromData(pngOf(Qt::yellow)));
    for (const char* path : {"missing.png", "garbage.png", "slow.png"}) {
        const QString url = server.url(path);
        QLabel view;
        view.setPixmap(before);
        const qint64 shown = view.pixmap().cacheKey();
        Brel_ImageCache::shared().setImageByURL(url, &view);
        ASSERT_TRUE(drainPool()) << path;
        EXPECT_EQ(view.pixmap().cacheKey(), shown) << path;
        EXPECT_FALSE(QFile::exists(imagecache::filePathForURL(url))) << path;
        EXPECT_TRUE(imageCAcheBrelvo::shared().getImageByURL(url).isNull()) << path;
        EXPECT_FALSE(QFile::exists(imagecache::filePathForURL(url))) << path;
    }
    server.release = true;
}

TEST_F(ImageCacheTest, AViewDeletedDuringTheDownloadIsLeftAlone) {
    const QString url = server.url("slow.png");
    auto view = std::make_unique<QLabel>();
    Brel_ImageCache::shared().setImageByURL(url, view.get());
    ASSERT_TRUE(brelvo::test::waitFor([&] { return server.requests == 1; }));
    view.reset();
    server.release = true;
    ASSERT_TRUE(drainPool());
    EXPECT_TRUE(QFile::exists(imagecache::filePathForURL(url))) << "the picture is still cached for next time";
}

TEST_F(ImageCacheTest, ADamagedCacheFileIsFetchedAgain) {
    const QString url = server.url("red.png");
    const QString path = imagecache::filePathForURL(url);
    ASSERT_TRUE(imagecache::writeAtomically(path, "truncated"));
    QLabel view;
    Brel_ImageCache::shared().setImageByURL(url, &view);
    ASSERT_TRUE(brelvo::test::waitFor([&] { return !view.pixmap().isNull(); }));
    EXPECT_EQ(readFile(path), pngOf(Qt::red));

    ASSERT_TRUE(imagecache::writeAtomically(path, "truncated"));
    EXPECT_EQ(imageCAcheBrelvo::shared().getImageByURL(url).size(), QSize(8, 6));
    EXPECT_FALSE(QImage::fromData(readFile(path)).isNull());
}

TEST_F(ImageCacheTest, GetImageByUrlDownloadsOnceAndHttpGetFetchesOnlyWebAddresses) {
    const QString url = server.url("moved.png");  // through a redirect
    const QImage first = imageCAcheBrelvo::shared().getImageByURL(url);
    ASSERT_EQ(first.size(), QSize(8, 6));
    EXPECT_EQ(first.pixel(0, 0), QColor(Qt::red).rgb());
    const QByteArray file = readFile(imagecache::filePathForURL(url));
    EXPECT_TRUE(file.startsWith("\x89PNG"));
    const int asked = server.requests;

    const QImage second = imageCAcheBrelvo::shared().getImageByURL(url);
    EXPECT_EQ(second.size(), QSize(8, 6));
    EXPECT_EQ(server.requests, asked);

    EXPECT_EQ(brelvo::http::get(server.url("red.png")), pngOf(Qt::red));
    EXPECT_FALSE(brelvo::http::get(server.url("missing.png")).has_value());

    const QString local = QDir(brelvo::test::home()).filePath(QStringLiteral("secret.png"));
    ASSERT_TRUE(imagecache::writeAtomically(local, pngOf(Qt::black)));
    EXPECT_FALSE(brelvo::http::get(QStringLiteral("file://") + local).has_value());
    EXPECT_TRUE(imageCAcheBrelvo::shared().getImageByURL(QStringLiteral("file://") + local).isNull());
    EXPECT_FALSE(brelvo::http::get(QStringLiteral("not a url")).has_value());
    EXPECT_FALSE(brelvo::http::get(QString()).has_value());

    // Redirects: an http address goes on to http; an https one only to https
    // (no local TLS server here, so that half checks the choice alone).
    EXPECT_EQ(brelvo::http::get(server.url("moved.png")), pngOf(Qt::red));
    EXPECT_STREQ(brelvo::http::redirectProtocols(QStringLiteral("http")), "http,https");
    EXPECT_STREQ(brelvo::http::redirectProtocols(QStringLiteral("https")), "https");
}

TEST_F(ImageCacheTest, TheUserIconRoundTripsThroughTheDefaultsStore) {
    imageCAcheBrelvo& cache = imageCAcheBrelvo::shared();
    EXPECT_TRUE(cache.getImageFromUserDefaults().isNull());

    const QImage fetched = cache.cacheImageWithURL(server.url("blue.png"));
    ASSERT_EQ(fetched.size(), QSize(5, 4));
    EXPECT_TRUE(brelvo::Defaults::standard().object(QStringLiteral("UserIcon")).toByteArray().startsWith("\x89PNG"));
    const QImage kept = cache.getImageFromUserDefaults();
    ASSERT_EQ(kept.size(), QSize(5, 4));
    EXPECT_EQ(kept.pixel(2, 2), QColor(Qt::blue).rgb());

    // Each call overwrites the entry; a URL without a picture clears it.
    EXPECT_EQ(cache.cacheImageWithURL(server.url("red.png")).size(), QSize(8, 6));
    EXPECT_EQ(cache.getImageFromUserDefaults().size(), QSize(8, 6));
    EXPECT_TRUE(cache.cacheImageWithURL(server.url("missing.png")).isNull());
    EXPECT_TRUE(cache.getImageFromUserDefaults().isNull());

    brelvo::Defaults::standard().setObject(QByteArray("not a png"), QStringLiteral("UserIcon"));
    EXPECT_TRUE(cache.getImageFromUserDefaults().isNull());
}

