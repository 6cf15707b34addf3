// The dashboard a QA lead keeps open: what it shows of testers' reports, its
// filters, and the admin forms behind it.
#include <QBuffer>
#include <QImage>
#include <QJsonDocument>

#include "Browser.h"
#include "ServiceHarness.h"

namespace brelvo::service::test {
namespace {

class Dashboard : public ServiceFixture {
 protected:
  std::vector<std::string> extraArgs() const override { return {"--seed", seedWithSecondTester(dir_)}; }

  std::string signInTo(const std::string& version, const std::string& udid) {
    return client_->call("auth", authBody(kDemoKey, appId(kDemoBundle, version), udid))
        .value("payload")
        .toObject()
        .value("access_token")
        .toString()
        .toStdString();
  }
  void postIssue(const std::string& token, const std::string& subject, const std::string& attachments = "[]") {
    const std::string issue = R"({"tracker":"1","priority":"3","subject":")" + subject +
                              R"(","description":"d","attachments":)" + attachments + "}";
    ASSERT_EQ(client_->call("post_issue", issueBody(token, "101", issue)).value("response_code").toInt(-1), 0);
  }
  std::string page(const std::string& query = "") {
    httplib::Result r = client_->http().Get(("/" + query).c_str());
    EXPECT_TRUE(r && r->status == 200) << query;
    return r ? r->body : std::string();
  }
  // Posts a form to an admin endpoint; the status and the message or error.
  std::pair<int, QString> admin(const std::string& path, const std::string& form) {
    httplib::Result r = client_->http().Post(path.c_str(), form, "application/x-www-form-urlencoded");
    if (!r) return {0, {}};
    const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object();
    return {r->status, body.value(r->status == 200 ? "message" : "error").toString()};
  }
  QJsonObject requirement(const std::string& token, const char* rid) {
    return client_->call("requirement", requirementBody(token, rid))
        .value("payload")
        .toObject()
        .value("requirement")
        .toObject();
  }
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

QByteArray solidPng(QColor color) {
  QImage image(64, 96, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

TEST_F(Dashboard, DeviceTextShowsEscapedAndScreenshotsOpenFullSize) {
  postIssue(signIn(), "%3Cscript%3Ealert(1)%3C/script%3E%20on%20save",
            R"([{"name":"<b>shot</b>.png","file":")" + base64(solidPng(Qt::green)) + R"("}])");
  const QJsonObject stored = client_->records().value("issues").toArray().at(0).toObject();
  const std::string id = std::to_string(stored.value("attachments").toArray().at(0).toObject().value("id").toInt());

  const std::string html = page();
  EXPECT_TRUE(has(html, "&lt;script&gt;alert(1)&lt;/script&gt; on save"));
  EXPECT_FALSE(has(html, "<script>alert"));
  EXPECT_FALSE(has(html, "<b>shot"));
  EXPECT_TRUE(has(html, "<a class=\"shot\" href=\"/attachments/" + id + "\""));
  EXPECT_TRUE(has(html, "<img src=\"/attachments/" + id + "\""));
}

TEST_F(Dashboard, FiltersNarrowTheListsToOneBuildAndOneTester) {
  const std::string mira24 = signInTo("2.4", "AD-1"), bo24 = signInTo("2.4", "B-1"), mira25 = signInTo("2.5", "AD-2");
  postIssue(mira24, "issue-mira-24");
  postIssue(bo24, "issue-bo-24");
  postIssue(mira25, "issue-mira-25");
  // A crash sent before signing in names its build by app_id alone.
  ASSERT_EQ(client_
                ->call("post_crash",
                       crashBodyWithKey(appId(kDemoBundle, "2.5"), kDemoKey, "AD-3", base64("crash-before-25"), "{}"))
                .value("response_code")
                .toInt(-1),
            0);

  const QJsonArray sessions = client_->records().value("sessions").toArray();
  const auto idOf = [&](int session, const char* key) {
    return std::to_string(sessions.at(session).toObject().value(key).toInt());
  };
  const std::string build24 = idOf(0, "revision_id"), build25 = idOf(2, "revision_id"), mira = idOf(0, "tester_id"),
                    bo = idOf(1, "tester_id");
  const auto shown = [&](const std::string& query) {
    const std::string html = page(query);
    std::string out;
    for (const char* mark : {"issue-mira-24", "issue-bo-24", "issue-mira-25", "crash-before-25"})
      if (has(html, mark)) out += std::string(out.empty() ? "" : " ") + mark;
    return out;
  };
  EXPECT_EQ(shown(""), "issue-mira-24 issue-bo-24 issue-mira-25 crash-before-25");
  EXPECT_EQ(shown("?build=" + build24), "issue-mira-24 issue-bo-24");
  EXPECT_EQ(shown("?build=" + build25), "issue-mira-25 crash-before-25");
  EXPECT_EQ(shown("?tester=" + bo), "issue-bo-24");
  EXPECT_EQ(shown("?build=" + build24 + "&tester=" + mira), "issue-mira-24");
  // The builds' table counts that crash for its build too.
  const std::string all = page("");
  const std::size_t row = all.find("org.brelvo.notes 2.5</a>");
  ASSERT_NE(row, std::string::npos);
  const std::string rowEnd = all.substr(row, all.find("</tr>", row) - row);
  EXPECT_TRUE(rowEnd.ends_with("<td class=\"num\">1</td>")) << rowEnd;  // the last column

  httplib::Result bad = client_->http().Get("/?build=x");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
}

TEST_F(Dashboard, AdminFormsAddBuildsEditRequirementsResetStatusesAndRefuseBadInput) {
  EXPECT_EQ(admin("/admin/apps", "project_key=" + kDemoKey + "&app_id=org.example.cam&version=1.0").first, 200);
  EXPECT_EQ(client_->call("auth", authBody(kDemoKey, appId("org.example.cam", "1.0"))).value("response_code").toInt(-1),
            0);

  const std::string token = signIn();
  const std::string build =
      std::to_string(client_->records().value("sessions").toArray().last().toObject().value("revision_id").toInt());
  EXPECT_EQ(admin("/admin/requirements", "build=" + build + "&code=NT-13&title=Print%20a%20note").first, 200);
  EXPECT_EQ(requirement(token, "113").value("title").toString().toStdString(), "Print a note");
  EXPECT_EQ(admin("/admin/requirements", "build=" + build + "&rid=101&title=Create%20a%20note%20quickly").first, 200);
  EXPECT_EQ(requirement(token, "101").value("title").toString().toStdString(), "Create a note quickly");
  EXPECT_EQ(requirement(token, "101").value("code").toString().toStdString(), "NT-1");  // what the form left empty stays

  ASSERT_EQ(
      client_->call("requirement_result", requirementResultBody(token, "101", "2")).value("response_code").toInt(-1),
      0);
  EXPECT_EQ(admin("/admin/reset-statuses", "build=" + build + "&rid=101").first, 200);
  EXPECT_EQ(requirement(token, "101").value("status").toInt(-1), 0);
  EXPECT_EQ(client_->records().value("requirement_results").toArray().size(), 1);  // the history stays

  const std::pair<std::string, std::string> refused[] = {
      {"/admin/apps", "project_key=no-such-key&app_id=org.example.x&version=1"},
      {"/admin/apps", "app_id=org.example.x"},
      {"/admin/requirements", "title=t"},
      {"/admin/requirements", "build=999&title=t"},
      {"/admin/requirements", "build=" + build + "&code=no-title"},
      {"/admin/requirements", "build=" + build + "&rid=101&status=7"},
      {"/admin/requirements", "build=" + build + "&rid=9000000000000001&title=t"},
      {"/admin/reset-statuses", "build=" + build + "&rid=999"},
      {"/admin/reset-statuses", "build=" + build + "&tester=x"},
  };
  for (const auto& [path, form] : refused) {
    const auto [status, error] = admin(path, form);
    EXPECT_EQ(status, 400) << path << " " << form;
    EXPECT_FALSE(error.isEmpty()) << path << " " << form;
  }
  EXPECT_TRUE(admin("/admin/apps", "project_key=no-such-key&app_id=x&version=1").second.contains("no-such-key"));
  EXPECT_EQ(requirement(token, "101").value("title").toString().toStdString(), "Create a note quickly");
}

TEST_F(Dashboard, InABrowserScreenshotsLoadDeviceTextStaysTextAndNewReportsAppearUnasked) {
  if (Browser::executable().empty()) GTEST_SKIP() << "no chromium to look at the page with (scripts/deps installs it)";
  const std::string token = signIn();
  postIssue(token, "%3Cscript%3Ewindow.ran%3D1%3C/script%3E%3Cimg%20src%3Dx%20onerror%3Dwindow.ran%3D1%3E",
            R"([{"name":"Screenshot1.png","file":")" + base64(solidPng(Qt::green)) + R"("}])");

  Browser browser;
  ASSERT_TRUE(browser.open("http://127.0.0.1:" + std::to_string(service_.port()) + "/", dir_ + "/browser"));
  ASSERT_TRUE(browser.waitUntil("document.readyState === 'complete' && document.querySelector('.shot img').complete"));
  EXPECT_EQ(browser.evaluate("document.querySelector('.shot img').naturalWidth").toInt(), 64);
  EXPECT_EQ(browser.evaluate("document.querySelector('h3.summary').textContent").toString().toStdString(),
            "<script>window.ran=1</script><img src=x onerror=window.ran=1>");
  EXPECT_TRUE(browser.evaluate("window.ran === undefined").toBool());

  postIssue(token, "arrives-while-the-page-is-open");
  EXPECT_TRUE(browser.waitUntil("document.body.textContent.includes('arrives-while-the-page-is-open')"));
}

}  // namespace
}  // namespace brelvo::service::test
