// The library's protocol against the real brelvo-service on loopback: bodies
// built by the library, sent by its transport, read back by its analyser, and
// checked against what the service stored.
#include <brelvo/Brelvo.h>

#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/Json.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "service/ServiceHarness.h"
#include "state/BrelAuthenticationDM.h"
#include "state/LibrarySettings.h"
#include "state/UserHelperBrelvo.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>

using namespace brelvo;
using brelvo::service::test::ServiceFixture;

namespace {

class RoundTrip : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        if (IsSkipped()) return;
        Brelvo::shared();  // as in a host: the facade hands the device's identity to the bodies
        QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
        qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:%1/").arg(service_.port()));
        NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));
    }
    void TearDown() override {
        if (client_) client_->admin("/admin/reset-faults", "{}");
        ServiceFixture::TearDown();
    }

    QString post(const char* method, const QByteArray& body) {
        return NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QString::fromLatin1(method), body);
    }

    // Authenticates as the start-up flow does and hands the token to the transport.
    QString authenticate() {
        const QString answer = post("auth", JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString()));
        EXPECT_FALSE(AnalizeResponseBrelvo::shared().isErrorWithString(answer)) << answer.toStdString();
        BrelAuthenticationDM::shared().initWithDictionary(json::parse(answer.toUtf8()));
        const QString token = AnalizeResponseBrelvo::shared().getToken();
        NetworkClientBrelvo::shared().setToken(token);
        return token;
    }

    QJsonArray records(const char* table) { return client_->records().value(QLatin1String(table)).toArray(); }

    void arm(const std::string& fault) { client_->admin("/admin/faults", fault); }
};

QString writePng(const QString& name, const QColor& color) {
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(color);
    const QString path = QDir(test::home()).filePath(name);
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
}

}  // namespace

TEST_F(RoundTrip, AuthenticationOpensASessionOfThisDevice) {
    const QString token = authenticate();
    ASSERT_FALSE(token.isEmpty());
    EXPECT_FALSE(AnalizeResponseBrelvo::shared().isError());
    const auto payload = BrelAuthenticationDM::shared().payload();
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(payload->user()->full_name(), QStringLiteral("Mira Castell"));
    EXPECT_FALSE(payload->issue_types().isEmpty());

    const QJsonArray sessions = records("sessions");
    ASSERT_EQ(sessions.size(), 1);
    const QJsonObject session = sessions[0].toObject();
    EXPECT_EQ(session.value(QStringLiteral("access_token")).toString(), token);
    EXPECT_EQ(session.value(QStringLiteral("bundle_id")).toString(), QStringLiteral("org.brelvo.notes"));
    EXPECT_EQ(session.value(QStringLiteral("a_v")).toString(), JSONClientBrelvo::shared().getLibInfoPlistString());
    const GetSystemInfoBrelvo& info = GetSystemInfoBrelvo::shared();
    EXPECT_EQ(session.value(QStringLiteral("udid")).toString(),
              info.getAdvertisingIdentifier() + QLatin1Char('_') + info.getSystemFingerPrint());
    EXPECT_EQ(session.value(QStringLiteral("locale")).toString(), info.getlocaleOfDevice());
}

TEST_F(RoundTrip, UnknownRevisionIsRefusedWithItsCodeAndLockScreenContent) {
    QCoreApplication::setApplicationVersion(QStringLiteral("9.9"));
    const QString answer = post("auth", JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString()));
    EXPECT_TRUE(AnalizeResponseBrelvo::shared().isErrorWithString(answer));
    BrelAuthenticationDM::shared().initWithDictionary(json::parse(answer.toUtf8()));
    EXPECT_EQ(BrelAuthenticationDM::shared().response_code().toInt(), 77);
    AnalizeResponseBrelvo::shared().handleErrorFromResponse(answer);
    const ErrorInfo e = UserHelperBrelvo::shared().errorInfo();
    EXPECT_FALSE(e.errorMessage().isEmpty());
    EXPECT_FALSE(e.url().isEmpty());
    EXPECT_TRUE(records("sessions").isEmpty());
}

TEST_F(RoundTrip, ProfileAndRequirementsAnswersFillTheSettings) {
    authenticate();
    LibrarySettings& settings = LibrarySettings::sharedInstance();
    settings.setupInfoFromAuthResponse();  // the profile call carries the settings' token
    const QString profile = post("profile", JSONClientBrelvo::shared().getDataForProfileResponse());
    ASSERT_FALSE(AnalizeResponseBrelvo::shared().isErrorWithString(profile)) << profile.toStdString();
    settings.setupInfoFromProfileResponse(profile);
    EXPECT_EQ(settings.user().email(), QStringLiteral("mira.castell@example.org"));
    EXPECT_EQ(settings.openURLScheme(), QStringLiteral("brelvo://open"));
    EXPECT_FALSE(settings.project().title().isEmpty());

    const QString pending = post("requirements", JSONClientBrelvo::shared().getRequirementsData(0, 0));
    const QVariantList list = AnalizeResponseBrelvo::shared().getRequirementsArray(pending).toList();
    EXPECT_EQ(list.size(), 5);  // one page
    EXPECT_EQ(NetworkClientBrelvo::shared().page_size().toInt(), 5);
    settings.setupInfoFromGetRequirementsResponse(pending);
    EXPECT_EQ(settings.requirements().size(), 5);

    const QVariant running = AnalizeResponseBrelvo::shared().detectInProgressRequirement(
        post("requirements", JSONClientBrelvo::shared().getRequirementsData(0, 1)));
    ASSERT_TRUE(running.isValid());
    const int rid = AnalizeResponseBrelvo::shared().getRid(running).toInt();
    const QVariant one = AnalizeResponseBrelvo::shared().getRequirement(
        post("requirement", JSONClientBrelvo::shared().getRequirementData(rid)));
    EXPECT_EQ(one.toMap().value(QStringLiteral("rid")).toInt(), rid);

    const QString result = post("requirement_result", JSONClientBrelvo::shared().getRequirementResultDataWithRid(rid, 2));
    EXPECT_FALSE(AnalizeResponseBrelvo::shared().isErrorWithString(result));
    const QJsonArray results = records("requirement_results");
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].toObject().value(QStringLiteral("status")).toInt(), 2);
}

TEST_F(RoundTrip, IssueWithScreenshotsArrivesWithEveryPicture) {
    authenticate();
    const QString red = writePng(QStringLiteral("red.png"), Qt::red);
    const QString blue = writePng(QStringLiteral("blue.png"), Qt::blue);
    const QByteArray body = JSONClientBrelvo::shared().buildPostIssueBody(
        QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("Save%20fails"), QStringLiteral("Tap \"save\" twice"),
        {red, blue}, NetworkClientBrelvo::shared().access_token(), QStringLiteral(""), QStringLiteral("0"), QStringLiteral("0"));
    const QString answer = post("post_issue", body);
    EXPECT_EQ(AnalizeResponseBrelvo::shared().getResponseCode(answer).toInt(), 0) << answer.toStdString();

    const QJsonArray issues = records("issues");
    ASSERT_EQ(issues.size(), 1);
    const QJsonArray attachments = issues[0].toObject().value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(attachments.size(), 2);
    EXPECT_EQ(attachments[0].toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Screenshot1.png"));
    for (int i = 0; i < 2; ++i) {
        const int id = attachments[i].toObject().value(QStringLiteral("id")).toInt();
        const QImage stored = QImage::fromData(client_->bytes("/attachments/" + std::to_string(id)));
        ASSERT_FALSE(stored.isNull());
        EXPECT_EQ(stored.pixelColor(5, 5), i == 0 ? QColor(Qt::red) : QColor(Qt::blue));
    }
}

TEST_F(RoundTrip, CrashesLogsStatesAndUpdateQuery) {
    const QByteArray device = GetSystemInfoBrelvo::shared().getPhoneState().toUtf8();
    // Before any session: the crash names the build with the app id and key.
    EXPECT_EQ(AnalizeResponseBrelvo::shared().getResponseCode(post("post_crash",
        JSONClientBrelvo::shared().getCrashData(QStringLiteral("demo-key-0001"), QStringLiteral("SIGSEGV at 0x0"), QString(),
                                                device, QStringLiteral("0"), QStringLiteral("")))).toInt(), 0);
    const QString token = authenticate();
    post("post_crash", JSONClientBrelvo::shared().getCrashData(QStringLiteral("demo-key-0001"), QStringLiteral("abort()"),
                                                               token, device, QStringLiteral("108"), QStringLiteral("")));
    const QJsonArray crashes = records("crashes");
    ASSERT_EQ(crashes.size(), 2);
    EXPECT_EQ(crashes[0].toObject().value(QStringLiteral("log")).toString(), QStringLiteral("SIGSEGV at 0x0"));
    EXPECT_EQ(crashes[1].toObject().value(QStringLiteral("log")).toString(), QStringLiteral("abort()"));

    const QByteArray entry = JSONClientBrelvo::shared().getLogJSON(
        {{QStringLiteral("log"), QStringLiteral("opened note 4")}, {QStringLiteral("level"), 2}, {QStringLiteral("ts"), 1700000000}});
    post("post_logs", JSONClientBrelvo::shared().getLogsData(entry + "," + entry, token));
    post("post_logs", JSONClientBrelvo::shared().getLogsData(QByteArray(), token));
    const QJsonArray batches = records("log_batches");
    ASSERT_EQ(batches.size(), 2);
    EXPECT_EQ(batches[0].toObject().value(QStringLiteral("entry_count")).toInt(), 2);
    EXPECT_EQ(batches[1].toObject().value(QStringLiteral("entry_count")).toInt(), 0);

    post("track_state", JSONClientBrelvo::shared().makejsonTrackState(QStringLiteral("suspend")));
    const QJsonArray states = records("state_events");
    ASSERT_EQ(states.size(), 1);

    const QVariant update = AnalizeResponseBrelvo::shared().getPayload(
        post("check_for_update", JSONClientBrelvo::shared().getUpdateJSON(QStringLiteral("demo-key-0001"))));
    EXPECT_NE(update.toMap().value(QStringLiteral("update_available")).toInt(), 0);
    EXPECT_FALSE(update.toMap().value(QStringLiteral("revision")).toMap().value(QStringLiteral("ota_url")).toString().isEmpty());
}

TEST_F(RoundTrip, EveryFaultOfTheServiceReachesTheLockScreenAsItShould) {
    const QByteArray auth = JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString());
    AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();

    arm(R"({"kind":"empty","count":1})");
    QString answer = post("auth", auth);
    EXPECT_TRUE(analyser.isErrorWithString(answer));
    analyser.handleErrorFromResponse(answer);
    EXPECT_EQ(UserHelperBrelvo::shared().errorInfo().errorMessage(), QStringLiteral("No response from server"));
    EXPECT_TRUE(UserHelperBrelvo::shared().errorInfo().showRefreshButton());

    arm(R"({"kind":"html","count":1})");
    answer = post("auth", auth);
    EXPECT_TRUE(analyser.isErrorWithString(answer));
    analyser.handleErrorFromResponse(answer);
    EXPECT_TRUE(UserHelperBrelvo::shared().errorInfo().errorMessage().startsWith(
        QStringLiteral("Invalid response from server\n\nResponse: ")));

    arm(R"({"kind":"code","count":1,"code":42,"error":"Project suspended","title":"Contact us","url":"mailto:qa@example.org","refresh":true})");
    answer = post("auth", auth);
    EXPECT_TRUE(analyser.isErrorWithString(answer));
    analyser.handleErrorFromResponse(answer);
    const ErrorInfo e = UserHelperBrelvo::shared().errorInfo();
    EXPECT_EQ(e.errorMessage(), QStringLiteral("Project suspended"));
    EXPECT_EQ(e.buttonTitle(), QStringLiteral("Contact us"));
    EXPECT_TRUE(e.showRefreshButton());

    // A request whose kept-open connection closes unanswered is sent once
    // more on a new one (a service may close idle connections at any time);
    // a service that drops that one too gives no answer.
    arm(R"({"kind":"drop","count":2})");
    EXPECT_TRUE(post("auth", auth).isNull());

    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(300));
    arm(R"({"kind":"delay","count":1,"delay_ms":3000})");
    EXPECT_TRUE(post("auth", auth).isNull());
    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));

    // Once the faults are used up the service answers normally again.
    EXPECT_FALSE(analyser.isErrorWithString(post("auth", auth)));
}
