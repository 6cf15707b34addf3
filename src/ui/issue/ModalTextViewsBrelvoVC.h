#pragma once

#include "platform/CoverScreen.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace brelvo {

class IssueTextForm;

// The full-screen editor of the issue's summary or description, presented
// over the issue form and prefilled from it; "Done" writes the text back, the
// back button leaves the form as it was.
class ModalTextViewsBrelvoVC : public CoverScreen {
    Q_OBJECT
public:
    static constexpr int kNavBarHeight = 47;
    static constexpr int kTextTop = 27;  // below the bar
    static constexpr int kTextMargin = 12;  // round the text, inside the text view

    explicit ModalTextViewsBrelvoVC(IssueTextForm* form);

    // True edits the summary, false the description. Set before presenting.
    void setSummOrDescr(bool summary) { summOrDescr_ = summary; }
    bool summOrDescr() const { return summOrDescr_; }

    // Builds the screen (the text from the form) and covers the form's view:
    // at once, or sliding up when animated.
    void present(bool animated = false);

    // "Done": hands the text to the form; an empty description becomes the
    // placeholder again. Then closes.
    void saveAction();
    // Back: closes without writing.
    void exitAction();

    bool shouldAutorotate() const;
    static constexpr int supportedInterfaceOrientations() { return 30; }

    QPlainTextEdit* textView() const { return textView_; }
    QLabel* navLabel() const { return navLabel_; }
    QPushButton* doneButton() const { return btnDone_; }
    QPushButton* backButton() const { return btnBack_; }

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void left() override;

private:
    void createUI();
    void createNavBar();
    void layoutElements();
    // The form's view takes the whole screen again and is laid out anew.
    void restorePresentingView();

    IssueTextForm* form_;
    bool summOrDescr_ = false;
    bool built_ = false;
    QWidget* navBarView_ = nullptr;
    QLabel* navLabel_ = nullptr;
    QPushButton* btnDone_ = nullptr;
    QPushButton* btnBack_ = nullptr;
    QLabel* sign_ = nullptr;
    QPlainTextEdit* textView_ = nullptr;
};

}  // namespace brelvo
