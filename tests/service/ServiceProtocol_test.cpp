// The library's methods against a real brelvo-service: answers the library
// reads, and what ends up stored.

#include "ServiceHarness.h"

#include <QDir>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <thread>

using namespace brelvo::service::test;

namespace {

int code(const QJsonObject& answer) { return answer.value("response_code").toInt(-1); }
QJsonObject payload(const QJsonObject& answer) { return answer.value("payload").toObject(); }

QJsonArray requirementsOf(ServiceClient& client, const std::string& token, int page, int status) {
  QJsonObject answer = client.call("requirements", requirementsBody(token, std::to_string(page), std::to_string(status)));
  EXPECT_EQ(code(answer), 0) << QJsonDocument(answer).toJson().toStdString();
  return payload(answer).value("requirements").toArray();
}

QList<int> ridsOf(const QJsonArray& list) {
  QList<int> rids;
  for (const QJsonValue& v : list) rids << v.toObject().value("rid").toInt();
  return rids;
}

// Bytes that start like a PNG file, different per screenshot.
QByteArray fakePng(int seed, int size) {
  QByteArray bytes("\x89PNG\r\n\x1a\n", 8);
  for (int i = 0; i < size; ++i) bytes.append(static_cast<char>((i * 31 + seed * 7) & 0xff));
  return bytes;
}

using ServiceProtocol = ServiceFixture;

}  // namespace

TEST_F(ServiceProtocol, AuthAcceptsTheDemoBuildAndAnswersEverythingTheLibraryReads) {
  QJsonObject answer = client_->call("auth", authBody(kDemoKey, appId(kDemoBundle, "2.4")));
  ASSERT_EQ(code(answer), 0) << QJsonDocument(answer).toJson().toStdString();
  EXPECT_TRUE(answer.value("ts").isDouble());
  EXPECT_GT(answer.value("ts").toDouble(), 1.6e9);
  EXPECT_EQ(answer.value("api_version").toString(), "1.0");

  QJsonObject p = payload(answer);
  QString token = p.value("access_token").toString();
  EXPECT_GE(token.size(), 32);
  QJsonObject revision = p.value("revision").toObject();
  EXPECT_EQ(revision.value("title").toString(), "Notes 2.4");
  EXPECT_EQ(revision.value("build_number").toString(), "241");
  EXPECT_EQ(revision.value("project").toString(), "Notes");
  EXPECT_EQ(revision.value("organization").toString(), "Brelvo Demo Labs");
  QString base = QStringLiteral("http://127.0.0.1:%1/").arg(service_.port());
  EXPECT_TRUE(revision.value("icon").toString().startsWith(base + "static/")) << revision.value("icon").toString().toStdString();

  QJsonObject user = p.value("user").toObject();
  EXPECT_EQ(user.value("full_name").toString(), "Mira Castell");
  EXPECT_EQ(user.value("role").toString(), "QA");
  EXPECT_TRUE(user.value("image").toString().startsWith(base));

  QJsonArray types = p.value("issue_types").toArray();
  ASSERT_EQ(types.size(), 3);
  EXPECT_EQ(types[0].toObject().value("id").toInt(), 1);
  EXPECT_EQ(types[0].toObject().value("name").toString(), "Bug");
  EXPECT_TRUE(types[0].toObject().value("icon").isString());
  EXPECT_EQ(p.value("issue_priorities").toArray().size(), 3);
  QJsonArray reqPriorities = p.value("requirement_priorities").toArray();
  ASSERT_EQ(reqPriorities.size(), 3);
  EXPECT_TRUE(reqPriorities[2].toObject().value("id").isDouble());
  EXPECT_EQ(reqPriorities[2].toObject().value("name").toString(), "High");

  // The icon addresses really serve pictures.
  std::string iconPath = types[0].toObject().value("icon").toString().mid(base.size() - 1).toStdString();
  httplib::Result icon = client_->http().Get(iconPath.c_str());
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->status, 200);
  EXPECT_EQ(icon->body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

  // Every sign-in is its own session with its own token, and is recorded.
  std::string second = signIn("AD-9_fp-9");
  EXPECT_FALSE(second.empty());
  EXPECT_NE(second, token.toStdString());
  QJsonArray sessions = client_->records().value("sessions").toArray();
  ASSERT_EQ(sessions.size(), 2);
  EXPECT_EQ(sessions[0].toObject().value("udid").toString(), "AD-1234_fp-5678");
  EXPECT_EQ(sessions[0].toObject().value("locale").toString(), "en");
  EXPECT_EQ(sessions[0].toObject().value("bundle_version").toString(), "2.4");
  EXPECT_EQ(sessions[1].toObject().value("access_token").toString().toStdString(), second);
}

TEST_F(ServiceProtocol, AuthRefusesUnknownKeyAppAndRevisionEachWithItsCode) {
  struct Case {
    std::string apiKey, app;
    int code;
  } cases[] = {
      {"no-such-key", appId(kDemoBundle, "2.4"), 3},
      {kDemoKey, appId("org.example.other", "2.4"), 5},
      {kDemoKey, "!!not-base64!!", 5},
      {kDemoKey, appId(kDemoBundle, "9.9"), 77},
      {kDemoKey, appId(kDemoBundle, "2.3"), 74},  // disabled in the seed
  };
  for (const Case& c : cases) {
    QJsonObject answer = client_->call("auth", authBody(c.apiKey, c.app));
    EXPECT_EQ(code(answer), c.code) << c.apiKey << " " << c.app;
    EXPECT_FALSE(answer.value("error").toString().isEmpty());
    EXPECT_TRUE(answer.value("payload").isNull());
    QJsonObject scheme = answer.value("url_scheme").toObject();
    EXPECT_TRUE(scheme.value("refresh").isBool());
    EXPECT_TRUE(scheme.value("url").isString());
    EXPECT_TRUE(scheme.value("title").isString());
  }
  // An outdated build is pointed at the current one.
  QJsonObject expired = client_->call("auth", authBody(kDemoKey, appId(kDemoBundle, "2.3")));
  EXPECT_FALSE(expired.value("url_scheme").toObject().value("url").toString().isEmpty());
  EXPECT_FALSE(expired.value("url_scheme").toObject().value("title").toString().isEmpty());
  EXPECT_TRUE(client_->records().value("sessions").toArray().isEmpty());
}

TEST_F(ServiceProtocol, EveryOtherMethodNeedsAKnownAccessToken) {
  const std::string bad = "0123456789abcdef";
  const std::pair<std::string, std::string> calls[] = {
      {"profile", profileBody(bad)},
      {"requirements", requirementsBody(bad, "0", "0")},
      {"requirement", requirementBody(bad, "101")},
      {"requirement_result", requirementResultBody(bad, "101", "2")},
      {"post_issue", issueBody(bad, "0", R"({"tracker":"1","priority":"1","subject":"s","description":"d"})")},
      {"post_crash", crashBodyWithToken(bad, base64("boom"), "{}")},
      {"post_logs", logsBody(bad, "")},
      {"track_state", trackStateBody(bad, "suspend", 1700000000)},
      {"profile", profileBody("")},  // the stored token of a device that never signed in
  };
  for (const auto& [method, body] : calls) {
    QJsonObject answer = client_->call(method, body);
    EXPECT_EQ(code(answer), 4) << method;
    EXPECT_TRUE(answer.value("url_scheme").toObject().value("refresh").toBool()) << method;
  }
  QJsonObject records = client_->records();
  for (const char* table : {"issues", "crashes", "log_batches", "state_events", "requirement_results"})
    EXPECT_TRUE(records.value(table).toArray().isEmpty()) << table;
}

TEST_F(ServiceProtocol, ProfileCarriesProjectOrganizationEmailAndSchemas) {
  std::string token = signIn();
  QJsonObject answer = client_->call("profile", profileBody(token));
  ASSERT_EQ(code(answer), 0);
  QJsonObject p = payload(answer);
  EXPECT_EQ(p.value("revision").toObject().value("build_number").toString(), "241");
  EXPECT_EQ(p.value("project").toObject().value("title").toString(), "Notes");
  EXPECT_EQ(p.value("organization").toObject().value("title").toString(), "Brelvo Demo Labs");
  EXPECT_EQ(p.value("user").toObject().value("email").toString(), "mira.castell@example.org");
  QJsonObject schemas = p.value("schemas").toObject();
  EXPECT_EQ(schemas.value("open").toString(), "brelvo://open");
  EXPECT_EQ(schemas.value("logout").toString(), "brelvo://logout");
  EXPECT_TRUE(schemas.value("install").toString().startsWith("http://127.0.0.1:"));
}

TEST_F(ServiceProtocol, RequirementsPageFromZeroAndFilterByStatus) {
  std::string token = signIn();
  QJsonObject first = client_->call("requirements", requirementsBody(token, "0", "0"));
  ASSERT_EQ(code(first), 0);
  EXPECT_EQ(payload(first).value("page_size").toInt(), 5);

  // The demo has 7 pending requirements: pages of 5, 2 and none, without overlap.
  QJsonArray page0 = requirementsOf(*client_, token, 0, 0);
  QJsonArray page1 = requirementsOf(*client_, token, 1, 0);
  QJsonArray page2 = requirementsOf(*client_, token, 2, 0);
  EXPECT_EQ(page0.size(), 5);
  EXPECT_EQ(page1.size(), 2);
  EXPECT_EQ(page2.size(), 0);
  QList<int> all = ridsOf(page0) + ridsOf(page1);
  EXPECT_EQ(all, (QList<int>{101, 102, 103, 104, 105, 106, 107}));
  for (const QJsonValue& v : page0) EXPECT_EQ(v.toObject().value("status").toInt(), 0);

  // Status 1 is the requirement under test: the library takes the first one.
  EXPECT_EQ(ridsOf(requirementsOf(*client_, token, 0, 1)), QList<int>{108});
  EXPECT_EQ(ridsOf(requirementsOf(*client_, token, 0, 2)), (QList<int>{109, 110}));
  EXPECT_EQ(ridsOf(requirementsOf(*client_, token, 0, 3)), (QList<int>{111, 112}));

  // Every member the list and the detail read, with its kind.
  QJsonObject r = page0[0].toObject();
  for (const char* key : {"rid", "kind", "priority", "number", "status"}) EXPECT_TRUE(r.value(key).isDouble()) << key;
  for (const char* key : {"code", "title", "description", "actor", "action", "exp_result", "reference"})
    EXPECT_TRUE(r.value(key).isString()) << key;
  // Absent texts travel as null, so the detail leaves their sections out.
  QJsonObject sortByDate = page0[4].toObject();
  EXPECT_EQ(sortByDate.value("rid").toInt(), 105);
  EXPECT_TRUE(sortByDate.value("actor").isNull());
  EXPECT_TRUE(sortByDate.value("reference").isNull());
}

TEST_F(ServiceProtocol, RequirementByRidAndResultsThatMoveItBetweenLists) {
  std::string token = signIn();
  QJsonObject one = client_->call("requirement", requirementBody(token, "104"));
  ASSERT_EQ(code(one), 0);
  QJsonObject r = payload(one).value("requirement").toObject();
  EXPECT_EQ(r.value("code").toString(), "NT-4");
  EXPECT_EQ(r.value("kind").toInt(), 2);
  EXPECT_EQ(r.value("exp_result").toString(), "Only notes containing the word are listed, with the word highlighted.");
  EXPECT_EQ(code(client_->call("requirement", requirementBody(token, "999"))), 6);

  // Start testing 101, then pass it.
  ASSERT_EQ(code(client_->call("requirement_result", requirementResultBody(token, "101", "1"))), 0);
  EXPECT_EQ(ridsOf(requirementsOf(*client_, token, 0, 1)), (QList<int>{101, 108}));
  EXPECT_EQ(payload(client_->call("requirement", requirementBody(token, "101"))).value("requirement").toObject().value("status").toInt(), 1);
  ASSERT_EQ(code(client_->call("requirement_result", requirementResultBody(token, "101", "2"))), 0);
  EXPECT_EQ(ridsOf(requirementsOf(*client_, token, 0, 2)), (QList<int>{101, 109, 110}));
  EXPECT_FALSE(ridsOf(requirementsOf(*client_, token, 0, 0)).contains(101));

  // A status outside 0..3 or an unknown requirement changes nothing.
  EXPECT_EQ(code(client_->call("requirement_result", requirementResultBody(token, "102", "7"))), 1);
  EXPECT_EQ(code(client_->call("requirement_result", requirementResultBody(token, "4242", "2"))), 6);

  QJsonArray results = client_->records().value("requirement_results").toArray();
  ASSERT_EQ(results.size(), 2);
  EXPECT_EQ(results[0].toObject().value("rid").toInt(), 101);
  EXPECT_EQ(results[0].toObject().value("previous_status").toInt(), 0);
  EXPECT_EQ(results[0].toObject().value("status").toInt(), 1);
  EXPECT_EQ(results[1].toObject().value("previous_status").toInt(), 1);
  EXPECT_EQ(results[1].toObject().value("status").toInt(), 2);
}

TEST_F(ServiceProtocol, PostIssueStoresTheIssueAndWritesEachScreenshot) {
  std::string token = signIn();
  QByteArray shot1 = fakePng(1, 5000), shot2 = fakePng(2, 70000);
  std::string issue = R"({"tracker":"1","priority":"3","subject":"Crash%20on%20save","description":"Press%20save%22twice%22",)"
                      R"("attachments":[{"name":"Screenshot1.png","file":")" + base64(shot1) +
                      R"("},{"name":"Screenshot2.png","file":")" + base64(shot2) + R"("}]})";
  QJsonObject answer = client_->call("post_issue", issueBody(token, "108", issue));
  ASSERT_EQ(code(answer), 0) << QJsonDocument(answer).toJson().toStdString();
  ASSERT_EQ(code(client_->call("post_issue", issueBody(token, "0", R"({"tracker":"2","priority":"1","subject":"No%20shots","description":""})"))), 0);

  QJsonArray issues = client_->records().value("issues").toArray();
  ASSERT_EQ(issues.size(), 2);
  QJsonObject stored = issues[0].toObject();
  EXPECT_EQ(stored.value("tracker").toString(), "1");
  EXPECT_EQ(stored.value("priority").toString(), "3");
  EXPECT_EQ(stored.value("subject").toString(), "Crash%20on%20save");
  EXPECT_EQ(stored.value("subject_text").toString(), "Crash on save");
  EXPECT_EQ(stored.value("description_text").toString(), "Press save\"twice\"");
  EXPECT_EQ(stored.value("rid").toString(), "108");
  EXPECT_EQ(stored.value("draft").toString(), "0");
  QJsonArray attachments = stored.value("attachments").toArray();
  ASSERT_EQ(attachments.size(), 2);
  EXPECT_EQ(attachments[0].toObject().value("name").toString(), "Screenshot1.png");
  EXPECT_EQ(attachments[1].toObject().value("name").toString(), "Screenshot2.png");
  EXPECT_TRUE(attachments[0].toObject().value("png").toBool());
  if (!onPostgres()) {
    const QString path1 = attachments[0].toObject().value("path").toString();
    EXPECT_TRUE(path1.startsWith(filesDir())) << path1.toStdString();
  }
  // The dashboard's pictures come from here, whatever keeps the bytes.
  EXPECT_EQ(client_->bytes("/attachments/" + std::to_string(attachments[0].toObject().value("id").toInt())), shot1);
  EXPECT_EQ(client_->bytes("/attachments/" + std::to_string(attachments[1].toObject().value("id").toInt())), shot2);
  EXPECT_TRUE(issues[1].toObject().value("attachments").toArray().isEmpty());
}

TEST_F(ServiceProtocol, PostIssueWithAnAttachmentThatIsNotBase64StoresNothing) {
  std::string token = signIn();
  std::string issue = R"({"tracker":"1","priority":"1","subject":"s","description":"d","attachments":[{"name":"Screenshot1.png","file":")" +
                      base64(fakePng(1, 100)) + R"("},{"name":"Screenshot2.png","file":"*** not base64 ***"}]})";
  QJsonObject answer = client_->call("post_issue", issueBody(token, "0", issue));
  EXPECT_EQ(code(answer), 1);
  EXPECT_TRUE(answer.value("error").toString().contains("Base64"));
  EXPECT_TRUE(client_->records().value("issues").toArray().isEmpty());
  // Nor a file on disk, where the SQLite store keeps screenshots.
  if (!onPostgres()) {
    EXPECT_TRUE(QDir(filesDir() + "/issues").entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
  }
}

TEST_F(ServiceProtocol, PostCrashStoresBothBodyFormsWithTheDecodedLog) {
  std::string token = signIn();
  const QByteArray log = "Fatal signal 11 (SIGSEGV)\n#0 0x401000 NotesWindow::save() notes.cpp:42\n";
  const std::string env = R"({"model":"Desktop","os_version":"Debian 12","free_memory":"812"})";
  ASSERT_EQ(code(client_->call("post_crash", crashBodyWithToken(token, base64(log), env))), 0);
  ASSERT_EQ(code(client_->call("post_crash", crashBodyWithKey(appId(kDemoBundle, "2.4"), kDemoKey, "AD-77_fp-1",
                                                               base64("early crash"), env))),
            0);
  EXPECT_EQ(code(client_->call("post_crash", crashBodyWithKey(appId(kDemoBundle, "2.4"), "wrong-key", "AD-77_fp-1",
                                                               base64("x"), env))),
            3);
  EXPECT_EQ(code(client_->call("post_crash", crashBodyWithToken(token, "%%%", env))), 1);
  EXPECT_EQ(code(client_->call("post_crash", crashBodyWithToken(token, base64("x"), "\"not an object\""))), 1);

  QJsonArray crashes = client_->records().value("crashes").toArray();
  ASSERT_EQ(crashes.size(), 2);
  QJsonObject withToken = crashes[0].toObject();
  EXPECT_TRUE(withToken.value("session_id").isDouble());
  EXPECT_EQ(withToken.value("log").toString().toUtf8(), log);
  EXPECT_EQ(withToken.value("device_env").toObject().value("os_version").toString(), "Debian 12");
  EXPECT_EQ(client_->bytes("/crashes/" + std::to_string(withToken.value("id").toInt()) + ".txt"), log);
  QJsonObject withKey = crashes[1].toObject();
  EXPECT_TRUE(withKey.value("session_id").isNull());
  EXPECT_EQ(withKey.value("udid").toString(), "AD-77_fp-1");
  EXPECT_EQ(withKey.value("api_key").toString().toStdString(), kDemoKey);
  EXPECT_EQ(withKey.value("log").toString(), "early crash");
}

TEST_F(ServiceProtocol, PostLogsStoresEntriesEmptyBatchesAndThePropertyListBatch) {
  std::string token = signIn();
  std::string entries = logEntry("info", "opened note 3", 1700000001) + "," + logEntry("error", "disk full", 1700000002);
  ASSERT_EQ(code(client_->call("post_logs", logsBody(token, entries))), 0);
  ASSERT_EQ(code(client_->call("post_logs", logsBody(token, ""))), 0);

  // The periodic empty batch is a property list, not JSON.
  const std::string plist =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<array/>\n</plist>\n";
  httplib::Result r = client_->post("post_logs", plist);
  ASSERT_TRUE(r);
  EXPECT_EQ(code(QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object()), 0);
  // A property list with content is not something the library sends.
  EXPECT_EQ(code(client_->call("post_logs", "<plist version=\"1.0\"><array><string>x</string></array></plist>")), 1);
  EXPECT_EQ(code(client_->call("post_logs", logsBody(token, "\"just text\""))), 1);

  QJsonArray batches = client_->records().value("log_batches").toArray();
  ASSERT_EQ(batches.size(), 3);
  QJsonArray stored = batches[0].toObject().value("entries").toArray();
  ASSERT_EQ(stored.size(), 2);
  EXPECT_EQ(stored[1].toObject().value("log_level").toString(), "error");
  EXPECT_EQ(stored[1].toObject().value("message").toString(), "disk full");
  EXPECT_EQ(stored[1].toObject().value("created_at").toString(), "1700000002");
  EXPECT_EQ(batches[1].toObject().value("entry_count").toInt(), 0);
  EXPECT_EQ(batches[1].toObject().value("format").toString(), "json");
  EXPECT_EQ(batches[2].toObject().value("format").toString(), "plist");
  EXPECT_EQ(batches[2].toObject().value("entry_count").toInt(), 0);
  EXPECT_TRUE(batches[2].toObject().value("session_id").isNull());
}

TEST_F(ServiceProtocol, TrackStateAndCheckForUpdate) {
  std::string token = signIn();
  ASSERT_EQ(code(client_->call("track_state", trackStateBody(token, "suspend", 1700000100))), 0);
  ASSERT_EQ(code(client_->call("track_state", trackStateBody(token, "resume", 1700000200))), 0);
  EXPECT_EQ(code(client_->call("track_state", trackStateBody(token, "hibernate", 1700000300))), 1);
  QJsonArray states = client_->records().value("state_events").toArray();
  ASSERT_EQ(states.size(), 2);
  EXPECT_EQ(states[0].toObject().value("state_action").toString(), "suspend");
  EXPECT_EQ(states[0].toObject().value("state_action_at").toString(), "1700000100");
  EXPECT_EQ(states[1].toObject().value("state_action").toString(), "resume");

  QJsonObject update = client_->call("check_for_update", updateBody(appId(kDemoBundle, "2.4"), kDemoKey));
  ASSERT_EQ(code(update), 0);
  EXPECT_EQ(payload(update).value("update_available").toInt(), 1);
  EXPECT_TRUE(payload(update).value("revision").toObject().value("ota_url").toString().endsWith("/downloads/notes-2.5.tar.gz"));
  QJsonObject current = client_->call("check_for_update", updateBody(appId(kDemoBundle, "2.5"), kDemoKey));
  EXPECT_EQ(payload(current).value("update_available").toInt(), 0);
  // An expired build may still ask where the new one is.
  EXPECT_EQ(payload(client_->call("check_for_update", updateBody(appId(kDemoBundle, "2.3"), kDemoKey))).value("update_available").toInt(), 1);
  EXPECT_EQ(code(client_->call("check_for_update", updateBody(appId(kDemoBundle, "2.4"), "wrong"))), 3);
  EXPECT_EQ(code(client_->call("check_for_update", updateBody(appId(kDemoBundle, "7.0"), kDemoKey))), 77);
}

TEST_F(ServiceProtocol, ConcurrentDevicesLoseNothing) {
  constexpr int kDevices = 4, kBatches = 6;
  std::vector<std::string> tokens;
  for (int d = 0; d < kDevices; ++d) tokens.push_back(signIn("AD-" + std::to_string(d) + "_fp"));
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int d = 0; d < kDevices; ++d) {
    threads.emplace_back([&, d] {
      ServiceClient client(service_.port());
      for (int b = 0; b < kBatches; ++b) {
        QJsonObject answer = client.call("post_logs", logsBody(tokens[d], logEntry("info", "batch " + std::to_string(b), b)));
        if (answer.value("response_code").toInt(-1) != 0) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(client_->records().value("log_batches").toArray().size(), kDevices * kBatches);
}

namespace {

// The tables reports are kept in, as databases made before delivery
// identifiers existed have them.
constexpr const char* kEarlierReportTables = R"SQL(
CREATE TABLE issues (id INTEGER PRIMARY KEY, session_id INTEGER NOT NULL, received_at INTEGER NOT NULL,
  locale TEXT NOT NULL DEFAULT '', tracker TEXT NOT NULL DEFAULT '', priority TEXT NOT NULL DEFAULT '',
  subject TEXT NOT NULL DEFAULT '', description TEXT NOT NULL DEFAULT '', rid TEXT NOT NULL DEFAULT '',
  uid TEXT NOT NULL DEFAULT '', draft TEXT NOT NULL DEFAULT '');
CREATE TABLE crashes (id INTEGER PRIMARY KEY, session_id INTEGER, project_id INTEGER, received_at INTEGER NOT NULL,
  locale TEXT NOT NULL DEFAULT '', app_id TEXT NOT NULL DEFAULT '', api_key TEXT NOT NULL DEFAULT '',
  udid TEXT NOT NULL DEFAULT '', uid TEXT NOT NULL DEFAULT '', rid TEXT NOT NULL DEFAULT '', log TEXT NOT NULL,
  log_path TEXT NOT NULL DEFAULT '', device_env TEXT NOT NULL);
CREATE TABLE log_batches (id INTEGER PRIMARY KEY, session_id INTEGER, received_at INTEGER NOT NULL,
  format TEXT NOT NULL, locale TEXT NOT NULL DEFAULT '', entry_count INTEGER NOT NULL);
)SQL";

// A fresh database (false), or one of the earlier form that the service
// brings up to date at start-up (true).
class DeliveryIds : public ServiceFixture, public ::testing::WithParamInterface<bool> {
 protected:
  DeliveryIds() {
    if (!GetParam()) return;
    sqlite3* db = nullptr;
    const bool made = sqlite3_open((earlier_.path() + "/earlier.sqlite").toUtf8().constData(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, kEarlierReportTables, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    EXPECT_TRUE(made);
  }
  std::vector<std::string> extraArgs() const override {
    if (!GetParam()) return {};
    return {"--db", (earlier_.path() + "/earlier.sqlite").toStdString()};
  }
  QTemporaryDir earlier_;
};

}  // namespace

TEST_P(DeliveryIds, ARepeatedIdentifierKeepsOneReportAndIsAnsweredAsTheFirstTime) {
  const std::string token = signIn();
  const std::string id = "0123456789abcdef0123456789abcdef";
  const struct {
    const char* method;
    std::string body;
    const char* listing;
  } reports[] = {
      {"post_crash", crashBodyWithToken(token, base64("crash"), R"({"model":"Desktop"})"), "crashes"},
      {"post_logs", logsBody(token, logEntry("info", "kept once", 1700000001)), "log_batches"},
      {"post_issue", issueBody(token, "0", R"({"tracker":"1","priority":"1","subject":"s","description":""})"), "issues"},
      {"requirement_result", requirementResultBody(token, "101", "1"), "requirement_results"},
  };
  // The answer without its time stamp, the one member that may differ.
  const auto answer = [&](const char* method, const std::string& body, const httplib::Headers& headers) {
    httplib::Result r = client_->post(method, body, "application/json", headers);
    QJsonObject o = r ? QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object() : QJsonObject();
    o.remove("ts");
    return QJsonDocument(o).toJson().toStdString();
  };
  for (const auto& report : reports) {
    SCOPED_TRACE(report.method);
    const std::string first = answer(report.method, report.body, {{"Brelvo-Delivery-Id", id}});
    EXPECT_EQ(code(QJsonDocument::fromJson(QByteArray::fromStdString(first)).object()), 0) << first;
    EXPECT_EQ(answer(report.method, report.body, {{"Brelvo-Delivery-Id", id}}), first);
    // The same identifier written as a UUID.
    EXPECT_EQ(answer(report.method, report.body, {{"Brelvo-Delivery-Id", "01234567-89AB-CDEF-0123-456789ABCDEF"}}), first);
    // Reports of libraries that send no identifier are all kept.
    EXPECT_EQ(answer(report.method, report.body, {}), first);
    EXPECT_EQ(answer(report.method, report.body, {}), first);
    EXPECT_EQ(code(QJsonDocument::fromJson(QByteArray::fromStdString(
                  answer(report.method, report.body, {{"Brelvo-Delivery-Id", "not-an-identifier"}}))).object()),
              1);
    EXPECT_EQ(client_->records().value(report.listing).toArray().size(), 3);
  }
}

INSTANTIATE_TEST_SUITE_P(Databases, DeliveryIds, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Earlier" : "Fresh"); });
