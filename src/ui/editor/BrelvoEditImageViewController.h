#pragma once

#include "platform/CoverScreen.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <vector>

class QLabel;
class QPushButton;

namespace brelvo {

class BrelvoEditView;

// The screenshot editor, presented over the preview: a tool strip (the
// colours while a tool is in use), apply and back for the edit in progress,
// undo and redo, and exit and save for the editor as a whole. Viewing and
// editing are its two states: choosing a tool starts an edit, apply or back
// ends it. The edited picture goes out through saved(); whoever presented the
// editor writes it and closes the stack. GUI thread only.
class BrelvoEditImageViewController : public CoverScreen {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 44;
    static constexpr int kButtonHeight = 31;
    static constexpr int kStripWidth = 175;  // five 31-point buttons, 5 apart

    struct Tool {
        const char* iconKey;
        const char* name;
    };
    // Every tool, in the canvas's mode order: tool i draws in mode i + 1.
    static const std::array<Tool, 5>& tools();
    // The tools the strip offers, by index into tools(), in strip order.
    static const std::vector<int>& offeredTools();

    // Where everything lies on a screen of this size.
    struct Layout {
        QRect topBar, bottomBar, canvas, exit, save, undo, redo, strip, currentTool;
    };
    static Layout layoutFor(const QSize& screen, bool tablet, bool editing);

    // The picture to edit, the file it came from and its index in the issue
    // form's list (-1 for none).
    BrelvoEditImageViewController(const QImage& screenShot, const QString& originalScreenshotName,
                                  int selectedImageIndex);

    QString originalScreenshotName() const { return originalScreenshotName_; }
    int selectedImageIndex() const { return selectedImageIndex_; }
    bool enableEditMode() const { return enableEditMode_; }
    void setEnableEditMode(bool on);

    // A strip button: a tool while viewing, a colour while editing.
    void instrumentsButtonsTapped(int index);
    void exitButtonTapped();
    void saveButtonTapped();
    void undoButtonTapped();
    void redoButtonTapped();

    BrelvoEditView* editorView() const { return editorView_; }
    QPushButton* exitButton() const { return exitButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* undoButton() const { return undoButton_; }
    QPushButton* redoButton() const { return redoButton_; }
    QPushButton* stripButton(int index) const { return stripButtons_.at(index); }
    QWidget* currentInstrumentView() const { return currentInstrument_; }

signals:
    // "Save": the edited picture, for the presenter to store.
    void saved(const QImage& edited);
    // "Exit": the tester leaves without saving.
    void exited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshStrip();
    void layoutElements();
    void setAvailable(QPushButton* button, bool available);

    QString originalScreenshotName_;
    int selectedImageIndex_;
    bool enableEditMode_ = false;
    BrelvoEditView* editorView_ = nullptr;
    QWidget* topBar_ = nullptr;
    QWidget* bottomBar_ = nullptr;
    QWidget* strip_ = nullptr;
    std::array<QPushButton*, 5> stripButtons_{};
    QWidget* currentInstrument_ = nullptr;
    QLabel* currentIcon_ = nullptr;
    QLabel* currentName_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* undoButton_ = nullptr;
    QPushButton* redoButton_ = nullptr;
};

}  // namespace brelvo
