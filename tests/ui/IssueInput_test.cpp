// The issue's type and severity picker and the summary/description editor,
// as real widgets over a host window, driven through the window system.
#include "state/UserHelperBrelvo.h"
#include "support/LocalHttpServer.h"
#include "ui/SessionTestHost.h"
#include "ui/issue/IssueTextForm.h"
#include "ui/issue/ModalTextViewsBrelvoVC.h"
#include "ui/issue/OXPickerViewBrelvo.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

class PickerTest : public test::SessionHostTest {
protected:
    void TearDown() override {
        UserHelperBrelvo::shared().setTypeIndex(0);
        UserHelperBrelvo::shared().setSeverityIndex(0);
        test::SessionHostTest::TearDown();
    }

    // Opens a sheet and waits until it has slid up.
    OXPickerViewBrelvo* open(const QString& title, const QStringList& rows, const QStringList& icons = {}) {
        OXPickerViewBrelvo* sheet = OXPickerViewBrelvo::setupPickerViewWithContent(rows, title, icons);
        sheet->setDelegate(&delegate);
        sheet->showPicker();
        const bool up = test::waitFor([&] { return sheet->geometry().bottom() == layer->height() - 1; });
        EXPECT_TRUE(up) << "the sheet's bottom meets the screen's";
        return sheet;
    }

    struct Delegate : OXPickerViewDelegateBrelvo {
        QStringList calls;
        void chooseValue(const QString& value) override { calls.append("value " + value); }
        void chooseValueIndex(int index) override { calls.append(QStringLiteral("index %1").arg(index)); }
    } delegate;

    const QStringList severities{"Low", "Normal", "High", "Critical"};
};

// A stand-in issue form: a view inside the library window with the two texts.
class FormStandIn : public IssueTextForm {
public:
    explicit FormStandIn(QWidget* window) : view(new QWidget(window)) {
        view->setGeometry(0, 0, window->width(), window->height());
        view->show();
    }
    QString summaryText() const override { return summary; }
    QString descriptionText() const override { return description == kDescriptionPlaceholder ? QString() : description; }
    void setSummaryText(const QString& text) override {
        summary = text;
        calls.append("summary");
    }
    void setDescriptionText(const QString& text) override {
        description = text;
        calls.append("description");
    }
    QWidget* formView() override { return view; }

    QWidget* view;
    QString summary;
    QString description = kDescriptionPlaceholder;
    QStringList calls;
};

class TextEntryTest : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        form = std::make_unique<FormStandIn>(layer.get());
    }
    QPointer<ModalTextViewsBrelvoVC> open(bool summary) {
        auto* editor = new ModalTextViewsBrelvoVC(form.get());
        editor->setSummOrDescr(summary);
        editor->present();
        EXPECT_TRUE(test::waitFor([&] { return editor->isVisible() && editor->textView()->hasFocus(); }));
        return editor;
    }
    static bool closes(const QPointer<ModalTextViewsBrelvoVC>& editor) {
        return test::waitFor([&] { return editor.isNull(); });
    }
    std::unique_ptr<FormStandIn> form;
};

}  // namespace

TEST_F(PickerTest, OpensOnTheRememberedChoiceOfItsKind) {
    UserHelperBrelvo::shared().setTypeIndex(2);
    UserHelperBrelvo::shared().setSeverityIndex(3);
    struct Case {
        QString title;
        int row;
    };
    for (const Case& c : {Case{"Type:", 2}, Case{"Severity:", 3}, Case{"Anything:", 0}}) {
        OXPickerViewBrelvo* sheet = open(c.title, severities);
        EXPECT_EQ(sheet->selectedRow(), c.row) << c.title.toStdString();
        QPointer<OXPickerViewBrelvo> gone(sheet);
        sheet->hidePicker();
        EXPECT_TRUE(test::waitFor([&] { return gone.isNull(); }));
    }
    // A remembered index past the rows falls back to the first.
    UserHelperBrelvo::shared().setTypeIndex(9);
    EXPECT_EQ(open(QStringLiteral("Type:"), severities)->selectedRow(), 0);
}

TEST_F(PickerTest, DoneReportsTheValueThenTheIndexTheSheetLeavesWithItsDimmingAndStaysAtTheBottomCentre) {
    OXPickerViewBrelvo* sheet = open(QStringLiteral("Severity:"), severities);
    QPointer<OXPickerViewBrelvo> guardSheet(sheet);
    QPointer<QWidget> dimming(sheet->background());
    ASSERT_TRUE(dimming);
    EXPECT_EQ(dimming->geometry(), layer->rect()) << "the dimming covers the window";
    EXPECT_EQ(sheet->x(), (layer->width() - sheet->width()) / 2);
    // As a picker's toolbar: the title at the left, Done against the right edge.
    QLabel* title = nullptr;
    for (QLabel* label : sheet->findChildren<QLabel*>())
        if (label->text() == QStringLiteral("Severity:")) title = label;
    ASSERT_NE(title, nullptr);
    EXPECT_LT(title->x(), 20);
    EXPECT_GT(sheet->doneButton()->geometry().right(), sheet->width() - 20);
    EXPECT_LE(sheet->doneButton()->geometry().right(), sheet->width());

    // The tester taps the third row, then Done.
    QListWidget* list = sheet->picker();
    const QRect third = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    ASSERT_EQ(sheet->selectedRow(), 2);
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    EXPECT_EQ(delegate.calls, (QStringList{"value High", "index 2"}));
    sheet->choose();  // a second press while it leaves reports nothing more
    EXPECT_EQ(delegate.calls.size(), 2);
    EXPECT_TRUE(test::waitFor([&] { return guardSheet.isNull() && dimming.isNull(); }));

    // A resized screen keeps a sheet at its bottom centre.
    sheet = open(QStringLiteral("Severity:"), severities);
    host->resize(568, 320);
    EXPECT_TRUE(test::waitFor([&] {
        return sheet->geometry().bottom() == layer->height() - 1 && sheet->x() == (layer->width() - sheet->width()) / 2;
    })) << "the layer is " << layer->width() << " × " << layer->height() << ", the sheet at " << sheet->x() << ","
        << sheet->y() << " " << sheet->width() << " × " << sheet->height();
}

TEST_F(PickerTest, RowsShowTheirIconsAndARowWhoseIconFailsKeepsItsText) {
    test::LocalHttpServer http;
    http.server().Get("/icons/bug.png", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(test::pngOf(Qt::red, QSize(20, 20)).toStdString(), "image/png");
    });
    http.start();

    OXPickerViewBrelvo* sheet = open(QStringLiteral("Type:"), {"Bug", "Feature"},
                                     {http.url("icons/bug.png"), http.url("icons/missing.png")});
    const auto iconOf = [&](int row) -> QLabel* {
        const QList<QLabel*> labels = sheet->picker()->itemWidget(sheet->picker()->item(row))->findChildren<QLabel*>();
        for (QLabel* l : labels)
            if (l->text().isEmpty()) return l;
        return nullptr;
    };
    ASSERT_NE(iconOf(0), nullptr);
    ASSERT_NE(iconOf(1), nullptr);
    EXPECT_TRUE(test::waitFor([&] { return !iconOf(0)->pixmap().isNull(); }));
    EXPECT_TRUE(iconOf(1)->pixmap().isNull());
    EXPECT_EQ(sheet->picker()->itemWidget(sheet->picker()->item(1))->findChild<QLabel*>()->text(), "Feature");
}

TEST_F(TextEntryTest, TheSummaryIsPrefilledDoneWritesItBackAndBackLeavesTheFormAsItWas) {
    form->summary = QStringLiteral("Crash on save");
    QPointer<ModalTextViewsBrelvoVC> editor = open(true);
    EXPECT_EQ(editor->navLabel()->text(), "Summary");
    EXPECT_EQ(editor->textView()->toPlainText(), "Crash on save");
    const QTextCursor start(editor->textView()->document());
    EXPECT_GE(editor->textView()->x() + editor->textView()->cursorRect(start).left(), 12) << "the text's margin";
    QTest::keyClicks(editor->textView(), " twice");
    QTest::mouseClick(editor->doneButton(), Qt::LeftButton);
    EXPECT_EQ(form->calls, (QStringList{"summary"}));
    EXPECT_EQ(form->summary, "Crash on save twice");
    EXPECT_TRUE(closes(editor));
    EXPECT_EQ(form->view->geometry(), QRect(QPoint(0, 0), host->size())) << "the form has the screen again";

    form->calls.clear();
    editor = open(true);
    QTest::keyClicks(editor->textView(), " and not this");
    QTest::mouseClick(editor->backButton(), Qt::LeftButton);
    EXPECT_TRUE(closes(editor));
    EXPECT_TRUE(form->calls.isEmpty());
    EXPECT_EQ(form->summary, "Crash on save twice");
}

TEST_F(TextEntryTest, AnEmptiedDescriptionGetsItsPlaceholderBackAndAnEmptySummaryStaysEmpty) {
    form->description = QStringLiteral("Open a note\nTap save");
    QPointer<ModalTextViewsBrelvoVC> editor = open(false);
    EXPECT_EQ(editor->navLabel()->text(), "Description");
    EXPECT_EQ(editor->textView()->toPlainText(), "Open a note\nTap save");
    editor->textView()->clear();
    QTest::mouseClick(editor->doneButton(), Qt::LeftButton);
    EXPECT_EQ(form->description, IssueTextForm::kDescriptionPlaceholder);
    ASSERT_TRUE(closes(editor));

    // The placeholder is not offered as text to edit.
    editor = open(false);
    EXPECT_TRUE(editor->textView()->toPlainText().isEmpty());
    editor->exitAction();
    ASSERT_TRUE(closes(editor));

    form->summary = QStringLiteral("x");
    editor = open(true);
    editor->textView()->clear();
    editor->saveAction();
    EXPECT_EQ(form->summary, QString());
    EXPECT_TRUE(closes(editor));
}
