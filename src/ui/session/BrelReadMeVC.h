#pragma once

#include "platform/CoverScreen.h"

class QPushButton;
class QTextEdit;

namespace brelvo {

// A full-screen notice that explains offline mode, presented over the issue
// form; "OK" dismisses it.
class BrelReadMeVC : public CoverScreen {
    Q_OBJECT
public:
    static const QString kText;

    explicit BrelReadMeVC(QWidget* parent = nullptr);

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
    void left() override { emit dismissed(); }

private:
    void viewDidLoad();
    void layoutElements();

    QTextEdit* textView_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

}  // namespace brelvo
