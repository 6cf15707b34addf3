#include "platform/Json.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/UserHelperBrelvo.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

using brelvo::AnalizeResponseBrelvo;

namespace {

AnalizeResponseBrelvo& analyser() {
    return AnalizeResponseBrelvo::shared();
}

QString errorMessage() {
    return brelvo::UserHelperBrelvo::shared().errorInfo().errorMessage();
}

}  // namespace

TEST(AnalizeResponseAuth, ResponseCodeZeroIsTheOnlySuccessAndEmptyAnswersOrWebPagesRecordTheirMessages) {
    EXPECT_FALSE(analyser().isErrorWithString(QStringLiteral(R"({"response_code":0,"payload":{}})")));
    EXPECT_FALSE(analyser().isErrorWithString(QStringLiteral(R"({"response_code":0.0})")));
    EXPECT_TRUE(analyser().isErrorWithString(QStringLiteral(R"({"response_code":3,"error":"Unknown key"})")));
    EXPECT_TRUE(analyser().isErrorWithString(QStringLiteral(R"({"payload":{}})")));
    EXPECT_TRUE(analyser().isErrorWithString(QStringLiteral(R"({"response_code":"0"})")));
    EXPECT_TRUE(analyser().isErrorWithString(QStringLiteral(R"({"response_code":false})")));
    EXPECT_TRUE(analyser().isErrorWithString(QStringLiteral(R"({"response_code":0)")));  // truncated
    // None of these set a message: the caller takes it from the answer.
    EXPECT_TRUE(errorMessage().isNull());

    EXPECT_TRUE(analyser().isError());  // never authenticated: no code
    brelvo::BrelAuthenticationDM::shared().initWithDictionary(brelvo::json::parse(R"({"response_code":0})"));
    EXPECT_FALSE(analyser().isError());
    brelvo::BrelAuthenticationDM::shared().initWithDictionary(brelvo::json::parse(R"({"response_code":5})"));
    EXPECT_TRUE(analyser().isError());

    EXPECT_TRUE(analyser().isErrorWithString(QString()));
    EXPECT_EQ(errorMessage(), QStringLiteral("No response from server"));
    EXPECT_TRUE(analyser().isErrorWithString(QStringLiteral("")));
    const QString page = QStringLiteral("<html><body>502 Bad Gateway</body></html>");
    EXPECT_TRUE(analyser().isErrorWithString(page));
    EXPECT_EQ(errorMessage(), QStringLiteral("Invalid response from server\n\nResponse: ") + page);
}

TEST(AnalizeResponseLockScreen, ErrorRecordFromEachKindOfAnswer) {
    int shown = 0;
    analyser().setPresenters([&] { ++shown; }, nullptr);

    analyser().handleErrorFromResponse(QString());
    brelvo::ErrorInfo e = brelvo::UserHelperBrelvo::shared().errorInfo();
    EXPECT_EQ(e.errorMessage(), QStringLiteral("No response from server"));
    EXPECT_TRUE(e.showRefreshButton());
    EXPECT_TRUE(e.url().isNull());
    EXPECT_TRUE(e.buttonTitle().isNull());

    analyser().handleErrorFromResponse(QStringLiteral(
        R"({"response_code":77,"error":"Unknown revision","url_scheme":{"url":"https://x.example/install","title":"Install","refresh":false}})"));
    e = brelvo::UserHelperBrelvo::shared().errorInfo();
    EXPECT_EQ(e.errorMessage(), QStringLiteral("Unknown revision"));
    EXPECT_EQ(e.url(), QStringLiteral("https://x.example/install"));
    EXPECT_EQ(e.buttonTitle(), QStringLiteral("Install"));
    EXPECT_FALSE(e.showRefreshButton());

    // A web page keeps what isErrorWithString recorded for it.
    const QString page = QStringLiteral("<html>oops</html>");
    analyser().isErrorWithString(page);
    analyser().handleErrorFromResponse(page);
    EXPECT_TRUE(errorMessage().startsWith(QStringLiteral("Invalid response from server\n\nResponse: <html>")));

    // Not JSON at all: an empty record rather than a crash.
    analyser().handleErrorFromResponse(QStringLiteral("garbage"));
    EXPECT_TRUE(errorMessage().isNull());
    EXPECT_EQ(shown, 4);
    analyser().setPresenters(nullptr, nullptr);
}

TEST(AnalizeResponsePayload, RequirementsAndPageSize) {
    brelvo::NetworkClientBrelvo& transport = brelvo::NetworkClientBrelvo::shared();
    transport.setRequirementsPageSize(7);
    EXPECT_FALSE(analyser().getRequirementsArray(QStringLiteral(R"({"response_code":0,"payload":null})")).isValid());
    EXPECT_EQ(transport.page_size().toInt(), 7);
    EXPECT_FALSE(analyser().getRequirementsArray(QStringLiteral(R"({"payload":"text"})")).isValid());
    EXPECT_EQ(transport.page_size().toInt(), 7);

    EXPECT_FALSE(analyser().detectInProgressRequirement(
        QStringLiteral(R"({"response_code":0,"payload":{"page_size":10,"requirements":[]}})")).isValid());
    EXPECT_EQ(transport.page_size().toInt(), 10);
    const QVariant first = analyser().detectInProgressRequirement(QStringLiteral(
        R"({"response_code":0,"payload":{"page_size":5,"requirements":[{"rid":1,"title":"A"},{"rid":2,"title":"B"}]}})"));
    EXPECT_EQ(first.toMap().value(QStringLiteral("title")).toString(), QStringLiteral("A"));
    EXPECT_EQ(analyser().getRid(first).toInt(), 1);
    EXPECT_FALSE(analyser().getRid(QVariantMap{{QStringLiteral("rid"), QVariant::fromValue(nullptr)}}).isValid());
    EXPECT_FALSE(analyser().getRid(QStringLiteral("not a requirement")).isValid());
}

TEST(AnalizeResponsePayload, MembersOfAnswersAndOfTheAuthentication) {
    const QString profile = QStringLiteral(
        R"({"response_code":0,"payload":{"user":{"email":"a@b.c"},"revision":{"icon":"i.png","project":"P","organization":"O","build_number":"12"},
            "requirement":{"rid":4}}})");
    EXPECT_EQ(analyser().getUser(profile).toMap().value(QStringLiteral("email")).toString(), QStringLiteral("a@b.c"));
    EXPECT_EQ(analyser().getAppIconPath(profile), QStringLiteral("i.png"));
    EXPECT_EQ(analyser().getAppTitle(profile), QStringLiteral("P"));
    EXPECT_EQ(analyser().getCompanyTitle(profile), QStringLiteral("O"));
    EXPECT_EQ(analyser().getRevisionNumber(profile), QStringLiteral("12"));
    EXPECT_EQ(analyser().getRequirement(profile).toMap().value(QStringLiteral("rid")).toInt(), 4);
    EXPECT_EQ(analyser().getResponseCode(profile).toInt(), 0);
    for (const char* bad : {"", "<html>", R"({"payload":null})", R"({"payload":{"user":null,"revision":7}})"}) {
        const QString answer = QString::fromUtf8(bad);
        EXPECT_FALSE(analyser().getUser(answer).isValid()) << bad;
        EXPECT_TRUE(analyser().getAppTitle(answer).isNull()) << bad;
    }

    EXPECT_FALSE(analyser().getPayload(QStringLiteral(R"({"payload":null})")).isValid());
    EXPECT_FALSE(analyser().getPayload(QStringLiteral("not json")).isValid());

    EXPECT_EQ(analyser().getUsers(), QStringList({QString(), QString(), QString()}));
    EXPECT_FALSE(analyser().detectIssueTypes().has_value());
    brelvo::BrelAuthenticationDM::shared().initWithDictionary(brelvo::json::parse(
        R"({"response_code":0,"payload":{"access_token":"t","user":{"full_name":"Ada","image":"a.png","role":"qa"},
            "issue_types":[{"id":1,"name":"Bug"}],"issue_priorities":[],"requirement_priorities":[{"id":2,"name":"high"}]}})"));
    EXPECT_EQ(analyser().getUsers(), QStringList({QStringLiteral("Ada"), QStringLiteral("a.png"), QStringLiteral("qa")}));
    EXPECT_EQ(analyser().getToken(), QStringLiteral("t"));
    ASSERT_TRUE(analyser().detectIssueTypes().has_value());
    EXPECT_EQ(analyser().detectIssueTypes()->size(), 1);
    EXPECT_TRUE(analyser().detectIssuePriorities()->isEmpty());
    EXPECT_EQ(analyser().detectRuquirementProperties()->first().name(), QStringLiteral("high"));
}

TEST(AnalizeResponseAlert, AlertIsShownOnTheGuiThreadWithItsTexts) {
    QStringList shown;
    bool onGuiThread = false;
    analyser().setPresenters(nullptr, [&](const QString& title, const QString& message, const QString& button) {
        shown = {title, message, button};
        onGuiThread = QThread::currentThread() == qApp->thread();
    });
    std::thread([] { analyser().showAlertWithMessage(QStringLiteral("Something failed")); }).join();
    EXPECT_TRUE(brelvo::test::waitFor([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown, QStringList({QStringLiteral("Error"), QStringLiteral("Something failed"), QStringLiteral("OK")}));
    EXPECT_TRUE(onGuiThread);
    analyser().setPresenters(nullptr, nullptr);
}
