// Issues against the real service: what is kept while it cannot be reached or
// refuses, and that every kept issue arrives once, in order, with its pictures.
#include <brelvo/Brelvo.h>

#include "platform/Defaults.h"
#include "platform/Json.h"
#include "platform/NotificationCenter.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/BVReachability.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "service/ServiceHarness.h"
#include "state/BrelAuthenticationDM.h"
#include "support/TestSupport.h"
#include "platform/Screen.h"
#include "ui/issue/OXPickerViewBrelvo.h"
#include "ui/issue/ScreenshotStrip.h"
#include "ui/session/BVAlert.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/IssueChoices.h"
#include "ui/issue/IssueOutbox.h"
#include "ui/issue/IssueSender.h"
#include "ui/issue/ScreenshotStore.h"

#include <QFile>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

using namespace brelvo;
using brelvo::service::test::ServiceFixture;

namespace {

class IssueDelivery : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        if (IsSkipped()) return;
        Brelvo::shared();  // the device identity for the bodies
        QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
        serviceUrl_ = QStringLiteral("http://127.0.0.1:%1/").arg(service_.port());
        online();
        NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(10000));
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("auth"), JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString()));
        BrelAuthenticationDM::shared().initWithDictionary(json::parse(answer.toUtf8()));
        NetworkClientBrelvo::shared().setToken(AnalizeResponseBrelvo::shared().getToken());
        NetworkClientBrelvo::shared().setRrid(QStringLiteral("108"));
    }
    void TearDown() override {
        if (client_) client_->admin("/admin/reset-faults", "{}");
        ServiceFixture::TearDown();
    }
    void online() { qApp->setProperty("brelvo_service_url", serviceUrl_); }
    void unreachable() { qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/")); }
    void arm(const std::string& fault) { client_->admin("/admin/faults", fault); }
    QJsonArray issues() { return client_->records().value(QLatin1String("issues")).toArray(); }
    qsizetype faultsLeft() {
        const httplib::Result r = client_->http().Get("/admin/faults");
        return r ? json::parse(QByteArray::fromStdString(r->body)).toMap().value("faults").toList().size() : -1;
    }

    // A capture saved as the preview saves it.
    QImage capture(const QColor& color) {
        QSignalSpy saved(&ScreenshotStore::shared(), &ScreenshotStore::captureSaved);
        QImage image(48, 32, QImage::Format_ARGB32);
        image.fill(color);
        image.setPixelColor(7, 9, QColor(1, 2, 3, 128));  // one pixel not like the rest, half transparent
        ScreenshotStore::shared().saveCapture(image);
        EXPECT_TRUE(test::waitFor([&] { return saved.size() == 1; }));
        return image;
    }

    // Sends as the form does; whether the service has it when the sender reports.
    bool send(const QString& summary, const QString& description) {
        const IssueChoices choices = IssueChoices::fromCurrentPayload();
        QSignalSpy sent(&IssueSender::shared(), &IssueSender::issueSent);
        EXPECT_TRUE(IssueSender::shared().send({summary, description, choices.typeId(0), choices.priorityId(1)}));
        EXPECT_TRUE(test::waitFor([&] { return sent.size() == 1; }, std::chrono::seconds(30)));
        if (sent.isEmpty()) return false;
        EXPECT_EQ(sent[0][0].toString(), QStringLiteral("Success"));
        EXPECT_EQ(sent[0][1].toString(), QStringLiteral("Issue has been saved locally"));
        return sent[0][2].toBool();
    }

    static QStringList pendingBodies() {
        QStringList bodies;
        for (const IssueOutbox::Entry& e : IssueOutbox::shared().pending()) bodies.append(e.body);
        return bodies;
    }

    QImage storedPicture(const QJsonValue& attachment) {
        const int id = attachment.toObject().value(QStringLiteral("id")).toInt();
        return QImage::fromData(client_->bytes("/attachments/" + std::to_string(id))).convertToFormat(QImage::Format_ARGB32);
    }

    QString serviceUrl_;
};

}  // namespace

TEST_F(IssueDelivery, IssuesSentWhileUnreachableArriveOnceInOrderWithTheirPictures) {
    const QString description = QStringLiteral("Tap \"save\" \\ twice:\n100% & ü");
    const QImage red = capture(Qt::red), green = capture(Qt::green);
    const QStringList firstShots = ScreenshotStore::shared().list();
    ASSERT_EQ(firstShots.size(), 2);

    QSignalSpy hostSent(&Brelvo::events(), &BrelvoEvents::issueSent);
    QSignalSpy hostQueued(&Brelvo::events(), &BrelvoEvents::issueQueued);
    unreachable();
    EXPECT_FALSE(send(QStringLiteral("first"), description));
    // Sent means gone from the list and the disk: the pictures travel in the body.
    EXPECT_TRUE(ScreenshotStore::shared().list().isEmpty());
    for (const QString& path : firstShots) EXPECT_FALSE(QFile::exists(path));
    const QImage blue = capture(Qt::blue);
    EXPECT_FALSE(send(QStringLiteral("second"), QStringLiteral("plain")));

    // Both kept: the latest as written under its key, the older in the outbox.
    const QStringList bodies = pendingBodies();
    ASSERT_EQ(bodies.size(), 2);
    EXPECT_EQ(Defaults::standard().object(IssueOutbox::kLatestKey).toString(), bodies[1]);
    for (const QString& body : bodies) EXPECT_TRUE(json::parse(body.toUtf8()).isValid()) << body.left(200).toStdString();
    EXPECT_TRUE(bodies[0].contains(QLatin1String("\"subject\":\"first\"")));
    EXPECT_TRUE(issues().isEmpty());

    // The network comes back: the watcher's change delivers both.
    online();
    IssueOutbox::shared().startWatchingNetwork();
    QSignalSpy reachable(&IssueOutbox::shared(), &IssueOutbox::serviceReachable);
    const auto probe = BVReachability::reachabilityForInternetConnection();
    NotificationCenter::defaultCenter().post(kReachabilityChangedNotificationBrelvo,
                                             QVariant::fromValue<QObject*>(probe.get()));
    ASSERT_TRUE(test::waitFor([] { return IssueOutbox::shared().pending().isEmpty(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(test::waitFor([&] { return reachable.size() == 1 && reachable[0][0].toBool(); }));
    EXPECT_EQ(IssueOutbox::shared().deliverNow(), 0);  // nothing left to send twice

    const QJsonArray stored = issues();
    ASSERT_EQ(stored.size(), 2);
    const QJsonObject first = stored[0].toObject(), second = stored[1].toObject();
    EXPECT_EQ(first.value("subject").toString(), "first");
    EXPECT_EQ(first.value("description").toString(), "Tap%20%22save%22%20%5C%20twice:%0A100%25%20&%20%C3%BC");
    EXPECT_EQ(first.value("rid").toString(), "108");
    EXPECT_EQ(second.value("subject").toString(), "second");
    const QJsonArray firstPictures = first.value("attachments").toArray();
    const QJsonArray secondPictures = second.value("attachments").toArray();
    ASSERT_EQ(firstPictures.size(), 2);
    ASSERT_EQ(secondPictures.size(), 1);
    EXPECT_EQ(storedPicture(firstPictures[0]), red);
    EXPECT_EQ(storedPicture(firstPictures[1]), green);
    EXPECT_EQ(storedPicture(secondPictures[0]), blue);
    // The host heard of both failed attempts and then of both deliveries.
    EXPECT_TRUE(test::waitFor([&] { return hostSent.size() == 2; }));
    EXPECT_EQ(hostQueued.size(), 2);
}

TEST_F(IssueDelivery, RefusedAnswersKeepTheBodyAndAnAnswerRemovesOnlyItsOwn) {
    arm(R"({"kind":"code","count":1,"code":3,"error":"Try later","methods":["post_issue"]})");
    EXPECT_FALSE(send(QStringLiteral("kept"), QStringLiteral("d")));
    ASSERT_EQ(pendingBodies().size(), 1);

    arm(R"({"kind":"html","count":1,"methods":["post_issue"]})");
    EXPECT_EQ(IssueOutbox::shared().deliverNow(), 0);
    ASSERT_EQ(pendingBodies().size(), 1);
    EXPECT_TRUE(issues().isEmpty());

    // A newer issue queued while the older one's request is on its way: the
    // older one's answer removes only the older body; the newer one is then
    // refused and stays.
    arm(R"({"kind":"delay","count":1,"delay_ms":3000,"methods":["post_issue"]})");
    arm(R"({"kind":"code","count":1,"code":3,"methods":["post_issue"]})");
    QSignalSpy delivered(&IssueOutbox::shared(), &IssueOutbox::delivered);
    IssueOutbox::shared().deliver();
    ASSERT_TRUE(test::waitFor([&] { return faultsLeft() == 1; })) << "the delayed request reached the service";
    const QString newer = QStringLiteral("{\"newer\":1}");
    const QString newerId = IssueOutbox::shared().queue(newer);
    ASSERT_TRUE(test::waitFor([&] { return delivered.size() == 1; }, std::chrono::seconds(30)));
    EXPECT_EQ(delivered[0][0].toInt(), 1);
    EXPECT_EQ(issues().size(), 1);
    ASSERT_EQ(pendingBodies(), QStringList{newer});
    EXPECT_TRUE(IssueOutbox::shared().isPending(newerId));
    EXPECT_EQ(Defaults::standard().object(IssueOutbox::kLatestKey).toString(), newer);
}

// Filled as the tester fills it; the form is empty again afterwards.
TEST_F(IssueDelivery, TheFormRefusesABlankSummaryAndSendsAOneLetterOneWithItsScreenshots) {
    QWidget host;
    host.resize(320, 568);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    screen::setWindow(&host);
    Defaults::standard().setObject(QString(), ScreenshotStore::kListKey);
    auto* form = new FeedbackViewControllerBrelvo(&host);
    form->setGeometry(host.rect());
    form->show();
    form->setChoices(IssueChoices::fromCurrentPayload(), {}, {});
    const QImage red = capture(Qt::red), green = capture(Qt::green);
    ASSERT_TRUE(test::waitFor([&] { return form->strip()->paths().size() == 2; }));

    auto visibleAlert = [&]() -> BVAlert* {
        for (QWidget* w : QApplication::allWidgets())  // wherever the last window put it
            if (auto* a = qobject_cast<BVAlert*>(w); a && a->isVisible() && !a->property("answered").toBool()) return a;
        return nullptr;
    };
    auto answerAlert = [&]() -> QString {
        if (!test::waitFor([&] { return visibleAlert() != nullptr; })) return QStringLiteral("(no alert)");
        BVAlert* alert = visibleAlert();
        const QString text = alert->titleLabel()->text() + ": " + alert->messageView()->toPlainText();
        alert->setProperty("answered", true);
        QTest::mouseClick(alert->cancelButton(), Qt::LeftButton);
        return text;
    };
    // The sheet this press brings up: the one chosen from before may still be
    // sliding away, visible, and pressing its "Done" again does nothing.
    auto choose = [&](QPushButton* button, int row) {
        QList<QPointer<OXPickerViewBrelvo>> before;
        for (QWidget* w : QApplication::allWidgets())
            if (auto* s = qobject_cast<OXPickerViewBrelvo*>(w)) before.append(s);
        QTest::mouseClick(button, Qt::LeftButton);
        OXPickerViewBrelvo* sheet = nullptr;
        ASSERT_TRUE(test::waitFor([&] {
            for (QWidget* w : QApplication::allWidgets())
                if (auto* s = qobject_cast<OXPickerViewBrelvo*>(w); s && s->isVisible() && !before.contains(s)) sheet = s;
            return sheet != nullptr;
        }));
        sheet->picker()->setCurrentRow(row);
        QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    };

    QTest::mouseClick(form->sendButton(), Qt::LeftButton);
    EXPECT_EQ(answerAlert(), "Error: Fill up summary. Fill up description");
    choose(form->typeButton(), 0);
    choose(form->severityButton(), 1);
    EXPECT_NE(form->typeLabel()->text(), FeedbackViewControllerBrelvo::kTypePlaceholder);
    EXPECT_NE(form->severityLabel()->text(), FeedbackViewControllerBrelvo::kSeverityPlaceholder);
    form->setDescriptionText(QStringLiteral("Opened the note\nand it was blank"));
    form->setSummaryText(QStringLiteral("  \n "));
    QTest::mouseClick(form->sendButton(), Qt::LeftButton);
    EXPECT_EQ(answerAlert(), "Error: Fill up summary");
    EXPECT_TRUE(issues().isEmpty());

    form->setSummaryText(QStringLiteral("x"));
    QTest::mouseClick(form->sendButton(), Qt::LeftButton);
    EXPECT_EQ(answerAlert(), "Success: Issue has been saved locally");
    ASSERT_TRUE(test::waitFor([&] { return issues().size() == 1; }, std::chrono::seconds(30)));
    const QJsonObject issue = issues()[0].toObject();
    EXPECT_EQ(issue.value("subject").toString(), "x");
    // URL-escaped, as the service keeps it, its line feed with it.
    EXPECT_EQ(issue.value("description").toString(), "Opened%20the%20note%0Aand%20it%20was%20blank");
    EXPECT_EQ(issue.value("rid").toString(), "108");
    const QJsonArray pictures = issue.value("attachments").toArray();
    ASSERT_EQ(pictures.size(), 2);
    EXPECT_EQ(storedPicture(pictures[0]), red);
    EXPECT_EQ(storedPicture(pictures[1]), green);

    EXPECT_EQ(form->typeLabel()->text(), FeedbackViewControllerBrelvo::kTypePlaceholder);
    EXPECT_EQ(form->severityLabel()->text(), FeedbackViewControllerBrelvo::kSeverityPlaceholder);
    EXPECT_EQ(form->summaryText(), "");
    EXPECT_EQ(form->descriptionText(), "");
    EXPECT_TRUE(form->strip()->paths().isEmpty());
    delete form;
    screen::setWindow(nullptr);
}
