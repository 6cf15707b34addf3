#pragma once

#include "platform/CoverScreen.h"

#include <QList>
#include <QPointer>

class QPushButton;
class QTextEdit;

namespace brelvo {

// A full-screen notice that explains offline mode, presented over the issue
// form; "OK" dismisses it. While it shows, the overlay's floating buttons
// are hidden, and those it hid come back when it goes.
class BrelReadMeVC : public CoverScreen {
    Q_OBJECT
public:
    static const QString kText;
    static constexpr int kMargin = 16;  // round the text

    explicit BrelReadMeVC(QWidget* parent = nullptr);
    ~BrelReadMeVC() override;

    // Presented with presentOver(). Slides down out of sight, then removes
    // and deletes itself.
    void exit() { leave(); }

    bool shouldAutorotate() const;
    static constexpr int supportedInterfaceOrientations() { return 0x1e; }

    QTextEdit* textView() const { return textView_; }
    QPushButton* okButton() const { return okButton_; }

signals:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void left() override { emit dismissed(); }

private:
    void viewDidLoad();
    void layoutElements();
    void showFloatingButtons();

    QWidget* logo_ = nullptr;
    QTextEdit* textView_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QList<QPointer<QWidget>> hiddenButtons_;
};

}  // namespace brelvo
