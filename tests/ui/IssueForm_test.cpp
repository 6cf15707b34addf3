// The issue form's screenshot list as the tester uses it: thumbnails with
// their positions, deleting one, and the limit of five from the form's buttons.
#include "platform/Defaults.h"
#include "support/TestSupport.h"
#include "ui/SessionTestHost.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/ScreenshotStore.h"
#include "ui/issue/ScreenshotStrip.h"

#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

class IssueFormList : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        Defaults::standard().setObject(QString(), ScreenshotStore::kListKey);
        form = new FeedbackViewControllerBrelvo(layer.get());
        form->setGeometry(layer->rect());
        form->show();
    }
    void TearDown() override {
        delete form;
        Defaults::standard().setObject(QString(), ScreenshotStore::kListKey);
        test::SessionHostTest::TearDown();
    }
    void addCapture(const QColor& color) {
        QSignalSpy saved(&ScreenshotStore::shared(), &ScreenshotStore::captureSaved);
        QImage image(160, 284, QImage::Format_ARGB32);
        image.fill(color);
        ScreenshotStore::shared().saveCapture(image);
        ASSERT_TRUE(test::waitFor([&] { return saved.size() == 1; }));
    }
    // The positions on screen: a rebuilt row shows its thumbnails only once
    // the event loop has run, and a tester cannot tap one before that.
    QStringList captions() const {
        QStringList out;
        for (int i = 0; i < form->strip()->paths().size(); ++i)
            if (QLabel* c = form->strip()->caption(i); c && c->isVisible()) out.append(c->text());
        return out;
    }
    // Presses a button and answers the limit warning it must bring up.
    void expectLimitWarning(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(test::waitFor([&] { return visibleAlert() != nullptr; })) << button->text().toStdString();
        BVAlert* alert = visibleAlert();
        EXPECT_EQ(alert->titleLabel()->text(), "Warning");
        EXPECT_EQ(alert->messageView()->toPlainText(), "Not more than 5 screenshots!");
        QTest::mouseClick(alert->cancelButton(), Qt::LeftButton);
        ASSERT_TRUE(test::waitFor([&] { return visibleAlert() == nullptr; }));
    }

    FeedbackViewControllerBrelvo* form = nullptr;
};

TEST_F(IssueFormList, DeletingTheMiddleOfThreeKeepsTheOthersAndTheFifthIsRefused) {
    EXPECT_TRUE(form->strip()->emptyLabel()->isVisible());
    for (const QColor& c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) addCapture(c);
    ASSERT_TRUE(test::waitFor([&] { return captions().size() == 3; }));
    EXPECT_EQ(captions(), QStringList({"1/3", "2/3", "3/3"}));
    EXPECT_FALSE(form->strip()->emptyLabel()->isVisible());
    const QStringList paths = ScreenshotStore::shared().list();

    QTest::mouseClick(form->strip()->deleteButton(1), Qt::LeftButton);
    EXPECT_EQ(ScreenshotStore::shared().list(), QStringList({paths[0], paths[2]}));
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_TRUE(QFile::exists(paths[0]) && QFile::exists(paths[2]));
    EXPECT_TRUE(test::waitFor([&] { return captions() == QStringList({"1/2", "2/2"}); })) << captions().join(' ').toStdString();

    for (const QColor& c : {QColor(Qt::cyan), QColor(Qt::magenta), QColor(Qt::yellow)}) addCapture(c);
    ASSERT_TRUE(test::waitFor([&] { return captions().size() == 5; }));
    expectLimitWarning(form->takeScreenshotBtn());
    expectLimitWarning(form->libraryButton());
    EXPECT_TRUE(form->isVisible()) << "a refused screenshot leaves the form where it is";
    EXPECT_EQ(ScreenshotStore::shared().list().size(), 5);
}

}  // namespace
