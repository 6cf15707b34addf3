#pragma once

class QWidget;

namespace brelvo {

// What the screenshot preview and the editor need of the issue form that
// presents them. The screenshot list itself is the ScreenshotStore's; the form
// only shows it.
class ScreenshotPreviewHost {
public:
    virtual ~ScreenshotPreviewHost() = default;
    // The view the preview covers and gives back.
    virtual QWidget* formView() = 0;
    // The limit warning when the list is full; true when one more may be added.
    virtual bool allowAnotherScreenshot() = 0;
    // Reads the stored list back and shows it.
    virtual void rebuildScrollView() = 0;
    // Brings the thumbnails into view, the newest one included.
    virtual void goToLastScreenshot() = 0;
};

}  // namespace brelvo
