#include "platform/Json.h"
#include "protocol/Base64Brelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/JsonText.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/LibrarySettings.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using brelvo::Base64Brelvo;
using brelvo::JSONClientBrelvo;

namespace {

// The identity the facade would hand down; a quote shows it is escaped.
const brelvo::DeviceIdentity kIdentity{QStringLiteral("de-CH"), QStringLiteral("4F2A\"9_TGludXg"),
                                       QStringLiteral("MV9vcmcuZXhhbXBsZS5ub3Rlcw")};

JSONClientBrelvo& client() {
    static const bool configured = [] {
        JSONClientBrelvo::shared().configure({QString(), [] { return kIdentity; }});
        return true;
    }();
    (void)configured;
    return JSONClientBrelvo::shared();
}

QByteArray locale() {
    return brelvo::jsonEscaped(kIdentity.locale);
}

QByteArray udid() {
    return brelvo::jsonEscaped(kIdentity.udid);
}

QByteArray appId() {
    return brelvo::jsonEscaped(kIdentity.appId);
}

// Replaces the time stamp in a body with "T" after checking it is now.
QByteArray withoutTime(QByteArray body, const char* member) {
    const QRegularExpression re(QStringLiteral("\"%1\":\"(\\d+)\"").arg(QLatin1String(member)));
    const auto match = re.match(QString::fromUtf8(body));
    EXPECT_TRUE(match.hasMatch()) << body.constData();
    if (!match.hasMatch()) return body;
    EXPECT_LE(qAbs(match.captured(1).toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
    return body.replace(match.captured(1).toUtf8(), "T");
}

QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = QDir(brelvo::test::home()).filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

}  // namespace

TEST(Base64Coding, EncodesWithPaddingAndDecodesByItsRules) {
    EXPECT_EQ(Base64Brelvo::encode(QByteArray()), QByteArray());
    EXPECT_EQ(Base64Brelvo::encode(QByteArray("f")), QByteArray("Zg=="));
    EXPECT_EQ(Base64Brelvo::encode(QByteArray("fo")), QByteArray("Zm8="));
    EXPECT_EQ(Base64Brelvo::encode(QByteArray("foobar")), QByteArray("Zm9vYmFy"));
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    EXPECT_EQ(Base64Brelvo::encode(all), all.toBase64());
    EXPECT_EQ(Base64Brelvo::decode(QString::fromLatin1(all.toBase64())), all);

    EXPECT_FALSE(Base64Brelvo::decode(QStringLiteral("Zm9vYm")).has_value());  // length 6
    EXPECT_EQ(Base64Brelvo::decode(QStringLiteral("Zm8=")), QByteArray("fo"));
    EXPECT_EQ(Base64Brelvo::decode(QStringLiteral("")), QByteArray());
    // A character outside the alphabet counts as 0.
    EXPECT_EQ(Base64Brelvo::decode(QStringLiteral("Z*==")), QByteArray("d"));

    // Cleaning removes line feeds and padding.
    EXPECT_EQ(client().cleanBase64String(QStringLiteral("YWJj\nZGVm\nZw==")), QStringLiteral("YWJjZGVmZw"));
    EXPECT_EQ(client().encodeToBase64String(QStringLiteral("é")), QStringLiteral("w6k="));
    EXPECT_EQ(client().encodeToBase64Data(QByteArray("\x00\xff", 2)), QStringLiteral("AP8="));
}

TEST(RequestBodies, AuthHasOneBlankBeforeTheVersionAndNoOtherWhitespace) {
    const QByteArray body = client().getAuthData(QStringLiteral("key-1"), QStringLiteral("ignored"));
    const QByteArray version = client().getLibInfoPlistString().toUtf8();
    EXPECT_EQ(body, "{\"locale\":\"" + locale() + "\",\"udid\":\"" + udid() + "\",\"app_id\":\"" + appId() +
                        "\",\"api_key\":\"key-1\", \"a_v\":\"" + version + "\"}");
    EXPECT_EQ(body.count(' '), 1);
    EXPECT_TRUE(brelvo::json::parse(body).isValid());
    // Type, Version, Build and API joined by ":".
    EXPECT_EQ(version.count(':'), 3);
    EXPECT_TRUE(version.startsWith("qt:"));
}

TEST(RequestBodies, RequirementBodiesQuoteTheirNumbersAndTheCrashBodyFollowsTheToken) {
    brelvo::NetworkClientBrelvo::shared().setToken(QStringLiteral("tok"));
    EXPECT_EQ(client().getRequirementsData(2, 1),
              "{\"locale\":\"" + locale() + "\",\"access_token\":\"tok\",\"page\":\"2\",\"uid\":\"\",\"status\":\"1\"}");
    EXPECT_EQ(client().getRequirementData(17),
              "{\"locale\":\"" + locale() + "\",\"access_token\":\"tok\",\"rid\":\"17\",\"uid\":\"\"}");
    EXPECT_EQ(client().getRequirementResultDataWithRid(QStringLiteral("r-9"), 3),
              "{\"locale\":\"" + locale() + "\",\"access_token\":\"tok\",\"rid\":\"r-9\",\"uid\":\"\",\"status\":\"3\"}");
    EXPECT_EQ(client().getRequirementResultDataWithRid(qint64(42), 2),
              "{\"locale\":\"" + locale() + "\",\"access_token\":\"tok\",\"rid\":\"42\",\"uid\":\"\",\"status\":\"2\"}");

    const QByteArray device = R"({"network":"WiFi"})";
    EXPECT_EQ(client().getCrashData(QStringLiteral("key"), QStringLiteral("boom"), QStringLiteral("tok"), device,
                                    QStringLiteral("0"), QStringLiteral("")),
              "{\"locale\":\"" + locale() +
                  "\",\"access_token\":\"tok\",\"log\":\"Ym9vbQ==\",\"uid\":\"\",\"rid\":\"0\",\"device_env\":" +
                  device + "}");
    EXPECT_EQ(client().getCrashData(QStringLiteral("key"), QStringLiteral("boom"), QStringLiteral(""), device,
                                    QStringLiteral("5"), QStringLiteral("")),
              "{\"locale\":\"" + locale() + "\",\"app_id\":\"" + appId() + "\",\"api_key\":\"key\",\"udid\":\"" +
                  udid() + "\",\"log\":\"Ym9vbQ==\",\"uid\":\"\",\"rid\":\"5\",\"device_env\":" + device + "}");
}

TEST(RequestBodies, ProfileAndTrackStateCarryTheCurrentTime) {
    EXPECT_EQ(withoutTime(client().getDataForProfileResponse(), "ts"), "{\"access_token\":\"\",\"ts\":\"T\"}");
    // No authentication yet: the token has no value.
    EXPECT_EQ(withoutTime(client().makejsonTrackState(QStringLiteral("suspend")), "state_action_at"),
              "{\"locale\":\"" + locale() +
                  "\",\"access_token\":\"(null)\",\"state_action\":\"suspend\",\"state_action_at\":\"T\"}");
    brelvo::BrelAuthenticationDM::shared().initWithDictionary(
        brelvo::json::parse(R"({"response_code":0,"payload":{"access_token":"auth-tok"}})"));
    EXPECT_EQ(withoutTime(client().makejsonTrackState(QStringLiteral("resume")), "state_action_at"),
              "{\"locale\":\"" + locale() +
                  "\",\"access_token\":\"auth-tok\",\"state_action\":\"resume\",\"state_action_at\":\"T\"}");
}

TEST(RequestBodies, LogsUpdateAndIssueObjects) {
    const QByteArray entry = client().getLogJSON(
        {{QStringLiteral("log"), QStringLiteral("hello")}, {QStringLiteral("level"), 2}, {QStringLiteral("ts"), 1700000000123LL}});
    EXPECT_EQ(entry, R"({"log_level":"2","message":"hello","created_at":"1700000000123"})");
    EXPECT_EQ(client().getLogsData(entry + "," + entry, QStringLiteral("t")),
              "{\"locale\":\"" + locale() + "\",\"access_token\":\"t\",\"logs\":[" + entry + "," + entry + "]}");
    EXPECT_EQ(client().getLogsData(QByteArray(), QStringLiteral("t")),
              "{\"locale\":\"" + locale() + "\",\"access_token\":\"t\",\"logs\":[]}");
    EXPECT_EQ(client().getUpdateJSON(QStringLiteral("k")),
              "{\"locale\":\"" + locale() + "\",\"udid\":\"" + udid() + "\",\"app_id\":\"" + appId() +
                  "\",\"api_key\":\"k\"}");
    EXPECT_EQ(client().getIssue(QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("Title"), QStringLiteral("Text")),
              R"({"tracker":"3","priority":"1","subject":"Title","description":"Text"})");
    EXPECT_EQ(client().getPostIssueData(QString(), client().getIssue(QStringLiteral("3"), QStringLiteral("1"),
                                                                     QStringLiteral("S"), QStringLiteral("D")),
                                        QStringLiteral("tok"), QStringLiteral(""), QStringLiteral("0"), QStringLiteral("0")),
              "{\"locale\":\"" + locale() +
                  R"(","access_token":"tok","uid":"","rid":"0","draft":"0","issue":{"tracker":"3","priority":"1","subject":"S","description":"D"}})");
}

TEST(RequestBodies, ScreenshotsAreNumberedInOrderWithTheirWholeFiles) {
    const QString a = writeFile(QStringLiteral("a.png"), QByteArray("first file"));
    const QString b = writeFile(QStringLiteral("b.png"), QByteArray(70000, 'x'));
    const QString c = writeFile(QStringLiteral("c.png"), QByteArray("\x89PNG\r\n", 6));
    const QByteArray issue = client().getIssueWithScreenshot(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("S"),
                                                             QStringLiteral("D"), {a, b, c});
    EXPECT_EQ(issue, R"({"tracker":"1","priority":"2","subject":"S","description":"D","attachments":[)"
                     R"({"name":"Screenshot1.png","file":")" + QByteArray("first file").toBase64() + R"("},)"
                     R"({"name":"Screenshot2.png","file":")" + QByteArray(70000, 'x').toBase64() + R"("},)"
                     R"({"name":"Screenshot3.png","file":")" + QByteArray("\x89PNG\r\n", 6).toBase64() + R"("}]})");
    // The one-buffer body is the same bytes as the two-step one.
    const QByteArray body = client().buildPostIssueBody(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("S"),
                                                        QStringLiteral("D"), {a, b, c}, QStringLiteral("tok"),
                                                        QStringLiteral(""), QStringLiteral("7"), QStringLiteral("0"));
    EXPECT_EQ(body, client().getPostIssueData(QString(), issue, QStringLiteral("tok"), QStringLiteral(""),
                                              QStringLiteral("7"), QStringLiteral("0")));
    // A file that vanished is sent without its picture rather than failing the issue.
    const QByteArray missing = client().getIssueWithScreenshot(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("S"),
                                                               QStringLiteral("D"), {QStringLiteral("/nonexistent/x.png")});
    EXPECT_TRUE(missing.endsWith(R"({"name":"Screenshot1.png","file":""}]})"));
}

TEST(RequestBodies, ValuesThatNeedEscapingCannotBreakTheBody) {
    // The escaping itself is checked with JsonText; here, that the bodies use it.
    const QString nasty = QStringLiteral("a\"b\\c\nd\te\x01");
    const QByteArray issue = client().getIssue(nasty, QStringLiteral("1"), nasty, nasty);
    const QVariantMap parsed = brelvo::json::parse(issue).toMap();
    EXPECT_EQ(parsed.value(QStringLiteral("subject")).toString(), nasty);
    const QVariantMap auth = brelvo::json::parse(client().getAuthData(nasty, QString())).toMap();
    EXPECT_EQ(auth.value(QStringLiteral("api_key")).toString(), nasty);
}
