#pragma once

#include "platform/CoverScreen.h"

#include <QString>

class QPushButton;

namespace brelvo {

// PLACEHOLDER until the screenshot editor lands: a plain screen that says the
// editor is not available yet and offers the way back. It takes what the
// editor will take (the screenshot's file and its position in the form's
// list) so that the preview's side stays as it is when the editor replaces it.
class EditorPlaceholderScreen : public CoverScreen {
    Q_OBJECT
public:
    EditorPlaceholderScreen(const QString& originalScreenshotName, int selectedImageIndex);

    QString originalScreenshotName() const { return originalScreenshotName_; }
    int selectedImageIndex() const { return selectedImageIndex_; }
    QPushButton* backButton() const { return btnBack_; }

signals:
    // The tester left without changing the screenshot.
    void exited();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString originalScreenshotName_;
    int selectedImageIndex_;
    QPushButton* btnBack_ = nullptr;
};

}  // namespace brelvo
