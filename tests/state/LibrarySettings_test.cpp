#include "state/LibrarySettings.h"

#include "platform/Defaults.h"
#include "state/BrelAuthenticationDM.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using brelvo::LibrarySettings;

namespace {

QVariantMap parse(const char* json) {
    return QJsonDocument::fromJson(json).object().toVariantMap();
}

const char* kAuthAnswer = R"({"response_code": 0, "ts": 1700000000, "api_version": "1.0", "payload": {
    "access_token": "tok-1",
    "revision": {"title": "Beta 3", "build_number": "303", "icon": "rev.png", "project": "Notes", "organization": "Acme"},
    "user": {"full_name": "Ada", "image": "ada.png", "role": "tester"},
    "issue_types": [{"id": 4, "name": "Crash", "icon": "c.png"}, {"id": 9, "name": "UI", "icon": "u.png"}],
    "issue_priorities": [{"id": 2, "name": "High", "icon": "h.png"}],
    "requirement_priorities": [{"id": 1, "name": "normal"}, {"id": 3, "name": "urgent"}]}})";

const char* kProfileAnswer = R"({"response_code": 0, "payload": {
    "revision": {"title": "Beta 4", "build_number": "404", "icon": "r4.png"},
    "project": {"title": "Notes Pro", "icon": "p.png"},
    "organization": {"title": "Acme Ltd", "icon": "o.png"},
    "user": {"email": "ada@example.org"},
    "schemas": {"open": "notes://open", "install": "https://get.example.org", "logout": "notes://logout"}}})";

}  // namespace

TEST(LibrarySettingsLoad, FreshInstallGivesEmptyStringsAndEmptyRecords) {
    LibrarySettings& s = LibrarySettings::sharedInstance();
    for (const QString& text : {s.accessToken(), s.installURLScheme(), s.openURLScheme(), s.logoutURLScheme()}) {
        EXPECT_FALSE(text.isNull());
        EXPECT_TRUE(text.isEmpty());
    }
    EXPECT_TRUE(s.revision().title().isNull());
    EXPECT_TRUE(s.user().name().isNull());
    EXPECT_TRUE(s.issueTypes().isEmpty());
    EXPECT_TRUE(s.requirements().isEmpty());
    EXPECT_FALSE(s.pageSize().isValid());

    // Without any authentication the token stays a string.
    LibrarySettings unauthenticated;
    unauthenticated.setupInfoFromAuthResponse();
    EXPECT_FALSE(unauthenticated.accessToken().isNull());
    EXPECT_TRUE(unauthenticated.issueTypes().isEmpty());
    EXPECT_TRUE(unauthenticated.revision().title().isNull());
}

TEST(LibrarySettingsLoad, DescriptionOfEmptySettingsHasEveryHeadingInOrder) {
    const QString text = LibrarySettings().descriptionString();
    EXPECT_TRUE(text.startsWith(QStringLiteral("*******Access Token: \n")));
    qsizetype at = 0;
    for (const char* heading : {"\n*******Revision:\nRevision Title: (null)\n", "\n*******Project:\n",
                                "\n*******Organization:\n", "\n*******User:\n", "\n*******Issue:\n",
                                "\n*******Issue Types:", "\n*******Issue Priorities:",
                                "\n*******Requirement Priorities:"}) {
        const qsizetype found = text.indexOf(QString::fromUtf8(heading), at);
        ASSERT_GE(found, at) << heading;
        at = found + 1;
    }
    EXPECT_TRUE(text.endsWith(QStringLiteral("*******Requirement Priorities:")));
}

TEST(LibrarySettingsAuth, AnswerFillsTheSettingsAndSurvivesARestart) {
    brelvo::BrelAuthenticationDM::shared().initWithDictionary(parse(kAuthAnswer));
    LibrarySettings first;
    first.setupInfoFromAuthResponse();
    EXPECT_EQ(first.accessToken(), QStringLiteral("tok-1"));
    EXPECT_EQ(first.revision().title(), QStringLiteral("Beta 3"));
    EXPECT_EQ(first.revision().buildNumber(), QStringLiteral("303"));
    EXPECT_EQ(first.revision().iconPath(), QStringLiteral("rev.png"));
    EXPECT_EQ(first.project().title(), QStringLiteral("Notes"));
    EXPECT_EQ(first.organization().title(), QStringLiteral("Acme"));
    EXPECT_EQ(first.user().name(), QStringLiteral("Ada"));
    EXPECT_EQ(first.user().role(), QStringLiteral("tester"));
    ASSERT_EQ(first.issueTypes().size(), 2);
    EXPECT_EQ(first.issueTypes()[1].typeID(), 9u);
    EXPECT_EQ(first.issueTypes()[1].name(), QStringLiteral("UI"));
    ASSERT_EQ(first.issuePriorities().size(), 1);
    EXPECT_EQ(first.issuePriorities()[0].priorityID(), 2u);
    ASSERT_EQ(first.requirementPriorities().size(), 2);
    EXPECT_EQ(first.requirementPriorities()[1].name(), QStringLiteral("urgent"));

    // Nothing reaches the store until the settings are saved.
    EXPECT_FALSE(brelvo::Defaults::standard().object(QStringLiteral("AccessToken")).isValid());
    EXPECT_EQ(LibrarySettings().accessToken(), QStringLiteral(""));

    first.saveSettings();
    brelvo::Defaults reopened(brelvo::Defaults::standard().path());
    EXPECT_EQ(reopened.object(QStringLiteral("AccessToken")).toString(), QStringLiteral("tok-1"));

    const LibrarySettings restarted;
    EXPECT_EQ(restarted.accessToken(), QStringLiteral("tok-1"));
    EXPECT_EQ(restarted.revision(), first.revision());
    EXPECT_EQ(restarted.project().title(), QStringLiteral("Notes"));
    EXPECT_EQ(restarted.user(), first.user());
    EXPECT_EQ(restarted.issueTypes(), first.issueTypes());
    EXPECT_EQ(restarted.issuePriorities(), first.issuePriorities());
    EXPECT_EQ(restarted.requirementPriorities(), first.requirementPriorities());
    EXPECT_EQ(restarted.descriptionString(), first.descriptionString());
}

TEST(LibrarySettingsProfile, AnswerReplacesRecordsAndSchemesWithoutStoringThem) {
    brelvo::BrelAuthenticationDM::shared().initWithDictionary(parse(kAuthAnswer));
    LibrarySettings s;
    s.setupInfoFromAuthResponse();
    s.setupInfoFromProfileResponse(QString::fromUtf8(kProfileAnswer));
    EXPECT_EQ(s.revision().title(), QStringLiteral("Beta 4"));
    EXPECT_EQ(s.project().title(), QStringLiteral("Notes Pro"));
    EXPECT_EQ(s.project().iconPath(), QStringLiteral("p.png"));
    EXPECT_EQ(s.organization().title(), QStringLiteral("Acme Ltd"));
    EXPECT_EQ(s.user().email(), QStringLiteral("ada@example.org"));
    EXPECT_EQ(s.user().name(), QStringLiteral("Ada"));  // only the e-mail changes
    EXPECT_EQ(s.openURLScheme(), QStringLiteral("notes://open"));
    EXPECT_EQ(s.installURLScheme(), QStringLiteral("https://get.example.org"));
    EXPECT_EQ(s.logoutURLScheme(), QStringLiteral("notes://logout"));
    EXPECT_FALSE(brelvo::Defaults::standard().object(QStringLiteral("OpenURLScheme")).isValid());
    EXPECT_FALSE(brelvo::Defaults::standard().object(QStringLiteral("Revision")).isValid());
}

TEST(LibrarySettingsProfile, BadAnswersLeaveTheAffectedPartsEmpty) {
    LibrarySettings s;
    for (const char* answer : {"<html><body>Bad gateway</body></html>", "", R"({"response_code": 0})",
                               R"({"payload": "nope"})", R"({"payload": {"revision": [1, 2], "schemas": 5}})"}) {
        s.setupInfoFromProfileResponse(QString::fromUtf8(answer));
        EXPECT_TRUE(s.revision().title().isNull()) << answer;
        EXPECT_TRUE(s.project().title().isNull()) << answer;
        EXPECT_TRUE(s.openURLScheme().isEmpty()) << answer;
        EXPECT_TRUE(s.user().email().isNull()) << answer;
    }
}

TEST(LibrarySettingsRequirements, AnswerGivesPageSizeAndRecordsInOrder) {
    LibrarySettings s;
    s.setupInfoFromGetRequirementsResponse(QStringLiteral(R"({"response_code": 0, "payload": {"page_size": 20,
        "requirements": [{"rid": 11, "code": "R-1", "title": "Sign in", "priority": 2},
                         "junk", null,
                         {"rid": "12", "code": "R-2", "title": "Sign out"}]}})"));
    EXPECT_EQ(s.pageSize().toLongLong(), 20);
    const QList<brelvo::RequirementDM> list = s.requirements();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].requirementID().toLongLong(), 11);
    EXPECT_EQ(list[0].code().toString(), QStringLiteral("R-1"));
    EXPECT_EQ(list[1].requirementID().toString(), QStringLiteral("12"));

    s.setupInfoFromGetRequirementsResponse(QStringLiteral("{truncated"));
    EXPECT_TRUE(s.requirements().isEmpty());
    EXPECT_FALSE(s.pageSize().isValid());
}
