// Requirement statuses are each tester's own: one tester's results move
// nothing in another's lists, and a database that kept one status per
// requirement is carried over without losing what its history says.
#include "ServiceHarness.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <sqlite3.h>

namespace brelvo::service::test {
namespace {

class RequirementStatus : public ServiceFixture {
 protected:
  std::vector<std::string> extraArgs() const override { return {"--seed", seedWithSecondTester(dir_)}; }

  QList<int> rids(const std::string& token, int status) {
    QJsonObject answer = client_->call("requirements", requirementsBody(token, "0", std::to_string(status)));
    QList<int> list;
    for (const QJsonValue& v : answer.value("payload").toObject().value("requirements").toArray())
      list << v.toObject().value("rid").toInt();
    return list;
  }
  int statusOf(const std::string& token, const char* rid) {
    return client_->call("requirement", requirementBody(token, rid))
        .value("payload").toObject().value("requirement").toObject().value("status").toInt(-1);
  }
  int report(const std::string& token, const char* rid, const char* status) {
    return client_->call("requirement_result", requirementResultBody(token, rid, status)).value("response_code").toInt(-1);
  }
  QJsonObject listed(int rid) {
    for (const QJsonValue& v : client_->records().value("requirements").toArray())
      if (v.toObject().value("rid").toInt() == rid && v.toObject().value("bundle_version").toString() == "2.4")
        return v.toObject();
    return {};
  }
};

TEST_F(RequirementStatus, OneTestersResultsMoveOnlyTheirOwnLists) {
  const std::string mira = signIn(), bo = signIn("B-77");
  ASSERT_EQ(report(mira, "101", "1"), 0);
  EXPECT_TRUE(rids(mira, 1).contains(101));
  EXPECT_FALSE(rids(mira, 0).contains(101));
  EXPECT_FALSE(rids(bo, 1).contains(101));
  EXPECT_TRUE(rids(bo, 0).contains(101));
  EXPECT_EQ(statusOf(bo, "101"), 0);

  ASSERT_EQ(report(mira, "101", "2"), 0);
  ASSERT_EQ(report(bo, "101", "3"), 0);
  EXPECT_TRUE(rids(mira, 2).contains(101));
  EXPECT_TRUE(rids(bo, 3).contains(101));
  EXPECT_EQ(statusOf(mira, "101"), 2);
  // A new session of the same tester (another device of Mira's) sees her status.
  EXPECT_EQ(statusOf(signIn("AD-other"), "101"), 2);

  // The history keeps every result with the status it moved from, per tester.
  const QJsonArray results = client_->records().value("requirement_results").toArray();
  ASSERT_EQ(results.size(), 3);
  EXPECT_EQ(results[1].toObject().value("previous_status").toInt(), 1);
  EXPECT_EQ(results[2].toObject().value("previous_status").toInt(), 0);

  // The dashboard lists where each tester stands beside the starting status.
  const QJsonObject r = listed(101);
  EXPECT_EQ(r.value("status").toInt(), 0);
  EXPECT_EQ(QJsonDocument(r.value("testers").toArray()).toJson(QJsonDocument::Compact).toStdString(),
            R"([{"status":2,"tester_id":1,"tester_uid":"tester-001"},{"status":3,"tester_id":2,"tester_uid":"tester-002"}])");
  httplib::Result page = client_->http().Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("Mira Castell: passed"), std::string::npos);
  EXPECT_NE(page->body.find("Bo Lindqvist: failed"), std::string::npos);
  // Its history, newest first, narrowed by the reader's tester filter.
  const std::size_t boFailed = page->body.find("Bo Lindqvist: pending → failed");
  const std::size_t miraPassed = page->body.find("Mira Castell: in progress → passed");
  EXPECT_NE(page->body.find("<summary>3 results</summary>"), std::string::npos);
  ASSERT_NE(miraPassed, std::string::npos);
  EXPECT_LT(boFailed, miraPassed);
  httplib::Result filtered = client_->http().Get("/?tester=2");
  ASSERT_TRUE(filtered);
  EXPECT_NE(filtered->body.find("<summary>1 result</summary>"), std::string::npos);
}

TEST_F(RequirementStatus, ADatabaseWithOneStatusPerRequirementIsCarriedOver) {
  if (onPostgres()) GTEST_SKIP() << "SQLite only: PostgreSQL stores never had the earlier form";
  const std::string mira = signIn();
  ASSERT_EQ(report(mira, "101", "1"), 0);
  ASSERT_EQ(report(mira, "101", "2"), 0);
  ASSERT_EQ(report(mira, "102", "3"), 0);
  ASSERT_EQ(service_.stop(), 0);

  // Back to the earlier form: no schema versions, no statuses per tester, no
  // result identifiers, and each result written over the requirement's one status.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ + "/service.sqlite").c_str(), &db), SQLITE_OK);
  const int done = sqlite3_exec(db,
                                "DROP TABLE schema_version; DROP TABLE faults; DROP TABLE stored_files;"
                                "DROP TABLE requirement_statuses;"
                                "DROP INDEX requirement_results_delivery_id;"
                                "ALTER TABLE requirement_results DROP COLUMN delivery_id;"
                                "UPDATE requirements SET status = 2 WHERE rid = 101;"
                                "UPDATE requirements SET status = 3 WHERE rid = 102;",
                                nullptr, nullptr, nullptr);
  sqlite3_close(db);
  ASSERT_EQ(done, SQLITE_OK);

  ASSERT_TRUE(service_.start(dir_, extraArgs()));
  client_ = std::make_unique<ServiceClient>(service_.port());
  EXPECT_EQ(statusOf(mira, "101"), 2);
  EXPECT_EQ(statusOf(mira, "102"), 3);
  const std::string bo = signIn("B-1");
  EXPECT_EQ(statusOf(bo, "101"), 0);
  EXPECT_EQ(statusOf(bo, "102"), 0);
  EXPECT_EQ(client_->records().value("requirement_results").toArray().size(), 3);
  EXPECT_EQ(listed(101).value("status").toInt(), 0);
}

}  // namespace
}  // namespace brelvo::service::test
