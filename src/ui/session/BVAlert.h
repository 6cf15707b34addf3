#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QGraphicsOpacityEffect;
class QLabel;
class QPushButton;
class QTextEdit;

namespace brelvo {

// Who hears which button of a BVAlert was pressed. Both callbacks do nothing
// unless overridden. While the alert shows, the delegate's view (when it has
// one) takes no input.
class BVAlertDelegate {
public:
    virtual ~BVAlertDelegate() = default;
    virtual void cancelButtonPressed() {}
    virtual void successButtonPressed() {}
    // The view made insensitive while the alert shows: a controller's view, or
    // the delegate itself when it is a view. None by default.
    virtual QWidget* alertDelegateView() { return nullptr; }
};

// The library's own modal alert: a dimmed full-screen layer with a white box
// holding a title, a message and one or two buttons. It is put over the last
// window, so that it also shows above the library's overlay.
class BVAlert : public QWidget {
    Q_OBJECT
public:
    // A full-screen alert. A button exists only when its title is given
    // (a null or empty title means none).
    BVAlert(const QString& title, const QString& message, const QString& cancelButton, const QString& otherButton);
    ~BVAlert() override;

    // The box of the alert, in the alert's own coordinates.
    static QRect boxFrame(const QSize& screen, bool tablet);

    // Not owned. A delegate that is also a QObject is watched: once it is
    // destroyed it gets no callback.
    BVAlertDelegate* bvAlertDelegate() const;
    void setBvAlertDelegate(BVAlertDelegate* delegate);
    QRect bvAlertFrame() const { return bvAlertFrame_; }

    // Shows the alert over the last window with a 0.3 s fade and makes the
    // delegate's view insensitive. Any thread; the work runs on the GUI thread.
    static void show(BVAlert* alert);
    void show() { show(this); }
    // Fades out over 0.3 s, then removes and deletes the alert; the delegate's
    // view takes input again at once. Any thread.
    void close();

    void cancelBtnPressed();
    void successBtnPressed();
    void orientationChanged();

    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* otherButton() const { return otherButton_; }
    QLabel* titleLabel() const { return titleLabel_; }
    QTextEdit* messageView() const { return messageView_; }
    QWidget* box() const { return box_; }

    static constexpr int kFadeMs = 300;

signals:
    void closed();  // the alert was removed from the screen

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutContents();
    void setDelegateViewEnabled(bool enabled);
    void deleteAlert();
    // A window above every other for alerts that would otherwise show off screen.
    static QWidget* alertWindow(QWidget* screenWindow);
    void fade(qreal to, std::function<void()> done);

    BVAlertDelegate* delegate_ = nullptr;
    QPointer<QObject> delegateObject_;  // set when the delegate is a QObject
    bool delegateIsObject_ = false;
    QPointer<QWidget> disabledView_;
    QRect bvAlertFrame_;
    QWidget* box_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QTextEdit* messageView_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* otherButton_ = nullptr;
    QGraphicsOpacityEffect* opacity_ = nullptr;
    bool closing_ = false;
};

}  // namespace brelvo
