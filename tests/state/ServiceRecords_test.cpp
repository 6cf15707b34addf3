#include "platform/Defaults.h"
#include "platform/Json.h"
#include "state/ErrorInfo.h"
#include "state/IssueDM.h"
#include "state/IssuePriority.h"
#include "state/IssueType.h"
#include "state/LogoutSchemeDM.h"
#include "state/OrganizationDM.h"
#include "state/ProjectDM.h"
#include "state/RequirementDM.h"
#include "state/RequirementPriority.h"
#include "state/RevisionDM.h"
#include "state/UserDM.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace brelvo;
using brelvo::test::parseObject;

namespace {

// What a later process reads: the value as it went through the file, not the
// writer's in-memory copy.
QVariant readFromDisk(const QString& key) {
    Defaults other(Defaults::standard().path());
    return other.object(key);
}

}  // namespace

TEST(RecordStore, FreshStoreRestoresEmptyRecordsAndDescriptionsPrintEveryLineInOrder) {
    const UserDM user = UserDM::restoreUser();
    EXPECT_TRUE(user.name().isNull());
    EXPECT_TRUE(user.email().isNull());
    EXPECT_TRUE(user.userID().isNull());
    EXPECT_EQ(user.descriptionString(),
              "User Title: (null)\nUser Icon Path: (null)\nUser Role: (null)\nUser ID: (null)\n"
              "User Email: (null)\nUser Role Name: (null)\n");
    EXPECT_TRUE(user.dictionary().isEmpty());

    EXPECT_EQ(OrganizationDM::restoreOrganization(), OrganizationDM());
    EXPECT_EQ(IssueDM::restoreIssue().type().typeID(), 0u);
    EXPECT_TRUE(IssueType::restoreIssueTypes().isEmpty());
    EXPECT_TRUE(RequirementDM::restoreRequirements().isEmpty());
    EXPECT_EQ(RequirementDM::restoreRequirement(), RequirementDM());

    OrganizationDM organization(QVariantMap{{"title", "Acme"}});
    organization.setTitle(QStringLiteral("Acme %2 Ltd"));
    EXPECT_EQ(organization.descriptionString(), "Organization Title: Acme %2 Ltd\nOrganization Icon Path: (null)\n");
    EXPECT_EQ(ProjectDM(QVariantMap{{"icon", "p"}}).descriptionString(),
              "Project Title: (null)\nProject Icon Path: p\n");
    EXPECT_EQ(RevisionDM(QVariantMap{{"build_number", "7"}}).descriptionString(),
              "Revision Title: (null)\nRevision Build Number: 7\nRevision Icon Path: (null)\n");
}

TEST(RecordStore, WrongKindUnderAKeyGivesEmptyRecordsNotACrash) {
    Defaults& store = Defaults::standard();
    store.setObject(QStringLiteral("not a dictionary"), QStringLiteral("User"));
    store.setObject(QVariantList{1, 2}, QStringLiteral("Organization"));
    store.setObject(qint64(5), QStringLiteral("Issue"));
    store.setObject(QVariantMap{{"id", 1}}, QStringLiteral("IssueTypes"));
    store.setObject(QVariantList{QStringLiteral("junk"), QVariantMap{{"rid", 4}}, 9},
                    QStringLiteral("AvailableRequirements"));

    EXPECT_EQ(UserDM::restoreUser(), UserDM());
    EXPECT_EQ(OrganizationDM::restoreOrganization(), OrganizationDM());
    EXPECT_EQ(IssueDM::restoreIssue(), IssueDM());
    EXPECT_TRUE(IssueType::restoreIssueTypes().isEmpty());
    const QList<RequirementDM> requirements = RequirementDM::restoreRequirements();
    ASSERT_EQ(requirements.size(), 1);
    EXPECT_EQ(requirements[0].requirementID(), QVariant(qint64(4)));

    // The same goes for a constructor handed a value of the wrong kind.
    EXPECT_EQ(RevisionDM(QStringLiteral("x")), RevisionDM());
    EXPECT_EQ(ErrorInfo(QVariantList{}), ErrorInfo());
}

TEST(RecordStore, SingleRecordsComeBackFromTheFile) {
    const OrganizationDM organization(parseObject(R"({"title": "Acme", "icon": ""})"));
    const ProjectDM project(parseObject(R"({"title": "Rocket", "icon": "https://x/p.png"})"));
    const RevisionDM revision(parseObject(R"({"title": "1.2", "build_number": 42, "icon": "r.png"})"));
    UserDM user(parseObject(R"({"full_name": "Ann", "image": "a.png", "role": "qa", "uid": "u1",
                                "role_name": "Tester", "unknown": true})"));
    user.setupEmail(QStringLiteral("ann@example.org"));
    const LogoutSchemeDM scheme(parseObject(R"({"url": "app://out", "install_url": "https://get"})"));

    organization.saveOrganization();
    project.saveProject();
    revision.saveRevision();
    user.saveUser();
    scheme.saveLogoutScheme();

    EXPECT_EQ(OrganizationDM(readFromDisk("Organization")), organization);
    EXPECT_EQ(ProjectDM(readFromDisk("Project")), project);
    EXPECT_EQ(RevisionDM(readFromDisk("Revision")), revision);
    EXPECT_EQ(UserDM(readFromDisk("User")), user);
    EXPECT_EQ(LogoutSchemeDM(readFromDisk("LogoutScheme")), scheme);
    EXPECT_EQ(UserDM::restoreUser(), user);

    // An empty text is a value, not a missing one; a number sent for a text field
    // is kept as its text.
    EXPECT_FALSE(OrganizationDM(readFromDisk("Organization")).iconPath().isNull());
    EXPECT_EQ(revision.buildNumber(), "42");
    EXPECT_EQ(UserDM::restoreUser().email(), "ann@example.org");
}

TEST(IssuePropertyRecords, IdIsTakenFromNumbersAndNumericStringsAndArraysComeBackInOrder) {
    EXPECT_EQ(IssueType(QVariantMap{{"id", "7"}}).typeID(), 7u);
    EXPECT_EQ(IssueType(QVariantMap{{"id", " 12abc"}}).typeID(), 12u);
    EXPECT_EQ(IssueType(QVariantMap{{"id", "abc"}}).typeID(), 0u);
    EXPECT_EQ(IssueType(QVariantMap{{"id", 3.9}}).typeID(), 3u);
    EXPECT_EQ(IssueType(QVariantMap{{"name", "Bug"}}).typeID(), 0u);
    EXPECT_EQ(IssueType(QVariantMap{{"id", QVariantMap{}}}).typeID(), 0u);
    EXPECT_EQ(IssuePriority(QVariantMap{{"id", "3"}}).priorityID(), 3u);
    EXPECT_EQ(RequirementPriority(QVariantMap{{"id", qint64(2)}}).priorityID(), 2u);

    // Written back as a number, whatever it was read from.
    const QVariant id = IssueType(QVariantMap{{"id", "7"}}).dictionary().value("id");
    EXPECT_EQ(id.typeId(), QMetaType::ULongLong);
    EXPECT_EQ(id.toULongLong(), 7u);
    EXPECT_EQ(IssueType(QVariantMap{{"id", "7"}, {"name", "Bug"}}).descriptionString(),
              "Issue Type Name: Bug\nIssue Type ID: 7\n");

    IssueType crash(QVariantMap{{"id", 2}, {"name", "Crash"}});
    crash.setTypeID(9);
    const QList<IssueType> types{IssueType(QVariantMap{{"id", 1}, {"name", "Bug"}}), crash};
    IssueType::saveArrayOfIssueTypes(types);
    EXPECT_EQ(IssueType::restoreIssueTypes(), types);

    // The largest id survives the file's signed integers.
    IssuePriority top(QVariantMap{{"name", "Top"}});
    top.setPriorityID(std::numeric_limits<quint64>::max());
    const QList<IssuePriority> priorities{top, IssuePriority(QVariantMap{{"id", 1}, {"name", "Low"}})};
    IssuePriority::saveArrayOfIssuePriorities(priorities);
    const QVariantList stored = readFromDisk("IssuePriorities").toList();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(IssuePriority(stored[0]), top);
    EXPECT_EQ(IssuePriority(stored[1]).name(), "Low");

    const QList<RequirementPriority> requirementPriorities{RequirementPriority(QVariantMap{{"id", 3}, {"name", "High"}})};
    RequirementPriority::saveArrayOfRequirementPriorities(requirementPriorities);
    EXPECT_EQ(RequirementPriority::restoreRequirementPriorities(), requirementPriorities);

    IssueType::saveArrayOfIssueTypes({});
    EXPECT_TRUE(IssueType::restoreIssueTypes().isEmpty());
}

TEST(IssueRecord, NestedTypeAndPriorityStayRecordsAfterRestore) {
    IssueDM issue(parseObject(R"({"issue_type": {"id": "4", "name": "UI"},
                                  "issue_priority": {"id": 2, "name": "High"},
                                  "issue_summary": "Button overlaps", "screenshots": ["a.png", "b.png"]})"));
    issue.setIssueDescription(QStringLiteral("On the login page"));
    issue.saveIssue();

    const IssueDM restored(readFromDisk("Issue"));
    EXPECT_EQ(restored, issue);
    EXPECT_EQ(restored.type().typeID(), 4u);
    EXPECT_EQ(restored.type().name(), "UI");
    EXPECT_EQ(restored.priority().priorityID(), 2u);
    EXPECT_EQ(restored.screenshots(), (QVariantList{"a.png", "b.png"}));
    EXPECT_EQ(restored.issueDescription(), "On the login page");
    EXPECT_EQ(IssueDM::restoreIssue(), issue);

    EXPECT_EQ(restored.descriptionString(),
              "Issue Summary: Button overlaps\nIssue Description: On the login page\n"
              "Issue Type: Issue Type Name: UI\nIssue Type ID: 4\n\n"
              "Issue Priority: Issue Priority Name: High\nIssue Priority ID: 2\n\n");
}

TEST(RequirementRecord, ListAndSingleRecordComeBackFieldByField) {
    const QVariantMap first = parseObject(R"({"rid": 12, "code": "REQ-1", "kind": "functional", "priority": 2,
        "title": "Log in", "description": "d", "actor": "tester", "action": "tap", "exp_result": "ok",
        "reference": "R1", "number": 1, "status": 3})");
    const QVariantMap second = parseObject(R"({"rid": "13", "priority": "1", "title": "", "score": 1.5})");
    const QList<RequirementDM> requirements{RequirementDM(first), RequirementDM(second)};
    RequirementDM::saveRequirements(requirements);

    EXPECT_EQ(RequirementDM::restoreRequirements(), requirements);
    const QVariantList stored = readFromDisk("AvailableRequirements").toList();
    ASSERT_EQ(stored.size(), 2);
    const RequirementDM a(stored[0]);
    const RequirementDM b(stored[1]);
    EXPECT_EQ(a, requirements[0]);
    EXPECT_EQ(b, requirements[1]);
    // Values keep their kinds: a numeric id stays a number, a text id stays text.
    EXPECT_EQ(a.requirementID().typeId(), QMetaType::LongLong);
    EXPECT_EQ(a.expResult(), "ok");
    EXPECT_EQ(b.requirementID().typeId(), QMetaType::QString);
    EXPECT_EQ(b.title().typeId(), QMetaType::QString);
    // The status is not part of the dictionary form.
    EXPECT_FALSE(a.status().isValid());
    EXPECT_FALSE(a.dictionary().contains("status"));

    // Null fields are without value and the record still saves.
    const RequirementDM requirement(parseObject(R"({"rid": 5, "reference": null, "actor": null})"));
    EXPECT_FALSE(requirement.reference().isValid());
    requirement.saveRequirement();
    EXPECT_EQ(RequirementDM(readFromDisk("Requirement")), requirement);
    EXPECT_EQ(RequirementDM::restoreRequirement().requirementID(), QVariant(qint64(5)));
}

TEST(ErrorInfoRecord, ReadsMessageAndButtonFromTheAnswer) {
    const ErrorInfo bare(parseObject(R"({"response_code": 3, "error": "Unknown build"})"));
    EXPECT_EQ(bare.errorMessage(), "Unknown build");
    EXPECT_TRUE(bare.url().isNull());
    EXPECT_TRUE(bare.buttonTitle().isNull());
    EXPECT_FALSE(bare.showRefreshButton());

    const ErrorInfo full(parseObject(
        R"({"error": "Update", "url_scheme": {"url": "https://get", "title": "Install", "refresh": 1}})"));
    EXPECT_EQ(full.url(), "https://get");
    EXPECT_EQ(full.buttonTitle(), "Install");
    EXPECT_TRUE(full.showRefreshButton());

    const auto refresh = [](const char* value) {
        return ErrorInfo(parseObject(QByteArray(R"({"url_scheme": {"refresh": )") + value + "}}")).showRefreshButton();
    };
    EXPECT_TRUE(refresh("true"));
    EXPECT_TRUE(refresh("\"yes\""));
    EXPECT_TRUE(refresh("\"1\""));
    EXPECT_FALSE(refresh("false"));
    EXPECT_FALSE(refresh("0"));
    EXPECT_FALSE(refresh("\"no\""));
    EXPECT_FALSE(refresh("null"));

    // A "url_scheme" of the wrong kind is ignored, not dereferenced.
    const ErrorInfo odd(parseObject(R"({"error": "E", "url_scheme": "https://get"})"));
    EXPECT_EQ(odd.errorMessage(), "E");
    EXPECT_TRUE(odd.url().isNull());
}
