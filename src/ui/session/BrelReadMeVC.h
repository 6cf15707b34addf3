#pragma once

#include <QWidget>

class QPushButton;
class QTextEdit;

namespace brelvo {

// A full-screen notice that explains offline mode, presented over the issue
// form; "OK" dismisses it.
class BrelReadMeVC : public QWidget {
    Q_OBJECT
public:
    static const QString kText;

    explicit BrelReadMeVC(QWidget* parent = nullptr);

    // Covers the view (sliding up from its bottom edge when animated) and
    // raises itself. The view owns it from then on.
    void presentOver(QWidget* view, bool animated = true);
    // Slides down out of sight, then removes and deletes itself.
    void exit();

    bool shouldAutorotate() const;
    static constexpr int supportedInterfaceOrientations() { return 0x1e; }

    QTextEdit* textView() const { return textView_; }
    QPushButton* okButton() const { return okButton_; }

    static constexpr int kAnimationMs = 300;

signals:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewDidLoad();
    void layoutElements();

    QTextEdit* textView_ = nullptr;
    QPushButton* okButton_ = nullptr;
    bool leaving_ = false;
};

}  // namespace brelvo
