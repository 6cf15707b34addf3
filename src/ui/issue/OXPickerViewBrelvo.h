#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace brelvo {

// Told what the tester chose in an OXPickerViewBrelvo. Both are optional.
class OXPickerViewDelegateBrelvo {
public:
    virtual ~OXPickerViewDelegateBrelvo() = default;
    virtual void chooseValue(const QString& value) { Q_UNUSED(value); }
    virtual void chooseValueIndex(int index) { Q_UNUSED(index); }
};

// A bottom sheet with a one-column list of choices under a dark bar with
// the title at the left and "Done" at the right, for the type ("Type:") or severity
// ("Severity:"). Rows may carry a small icon loaded through the image cache.
// The sheet slides up over a dimmed screen in the application's last window,
// and is used once: "Done" reports the choice and the sheet slides away and
// deletes itself.
class OXPickerViewBrelvo : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 44;
    static constexpr int kPhoneWidth = 320;
    static constexpr int kPhonePickerHeight = 260;
    static constexpr int kTabletPickerHeight = 261;
    static constexpr int kRowHeight = 40;
    static constexpr int kAnimationMs = 500;
    static constexpr qreal kDimmedAlpha = 0.8;

    // A new sheet of frame (0, 0, 320, 260) holding copies of the rows and
    // the icon URLs (one per row, or none), titled with the text.
    static OXPickerViewBrelvo* setupPickerViewWithContent(const QStringList& content, const QString& title,
                                                          const QStringList& icons);

    void setDelegate(OXPickerViewDelegateBrelvo* delegate) { delegate_ = delegate; }

    // Shows the sheet at the phone's size, or across the frame's width on a tablet.
    void showPicker();
    void showPickerWithFrame(const QRect& frame);
    // Reports the selected row to the delegate, then hides the sheet.
    void choose();
    // Slides the sheet out and removes it and the dimming.
    void hidePicker();

    QStringList content() const { return content_; }
    QStringList arrUrls() const { return arrUrls_; }
    QString title() const;
    QListWidget* picker() const { return picker_; }
    QPushButton* doneButton() const { return done_; }
    QWidget* background() const { return background_; }
    int selectedRow() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OXPickerViewBrelvo(const QStringList& content, const QString& title, const QStringList& icons);
    void build(int width, int pickerHeight);
    QWidget* rowView(int row);
    // Bottom-centred on the screen, in the parent's coordinates.
    QRect restingFrame() const;
    void placeBackground();

    QStringList content_;
    QStringList arrUrls_;
    QLabel* titleLabel_ = nullptr;
    QWidget* toolbar_ = nullptr;
    QPushButton* done_ = nullptr;
    QListWidget* picker_ = nullptr;
    QPointer<QWidget> background_;
    OXPickerViewDelegateBrelvo* delegate_ = nullptr;
    bool hiding_ = false;
};

}  // namespace brelvo
