#pragma once

#include "ui/issue/IssueChoices.h"
#include "ui/issue/IssueTextForm.h"
#include "ui/issue/OXPickerViewBrelvo.h"
#include "ui/issue/ScreenshotPreviewHost.h"
#include "ui/session/BVAlert.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace brelvo {

class ScreenshotStrip;

// The issue form: type, severity, summary, description, the screenshots and
// the requirement being run. It keeps what the tester entered between
// presentations; the screenshot list lives in the ScreenshotStore, the
// sending in the IssueSender. GUI thread only.
class FeedbackViewControllerBrelvo : public QWidget,
                                     public IssueTextForm,
                                     public ScreenshotPreviewHost,
                                     public OXPickerViewDelegateBrelvo,
                                     public BVAlertDelegate {
    Q_OBJECT
public:
    static constexpr int kTypeTag = 200;
    static constexpr int kSeverityTag = 201;
    // The offline bar and its "Read more" text.
    static constexpr QColor kOfflineBar{204, 41, 41};
    static constexpr QColor kReadMoreText{255, 255, 255};

    static const QString kTypePlaceholder;      // "Please select type"
    static const QString kSeverityPlaceholder;  // "Please select severity"
    static const QString kSummaryPlaceholder;   // "Tap to edit summary"

    explicit FeedbackViewControllerBrelvo(QWidget* parent = nullptr);
    ~FeedbackViewControllerBrelvo() override;

    // What the panel hands over after each authentication.
    void setChoices(const IssueChoices& choices, const QStringList& typeIcons, const QStringList& severityIcons);
    // What closes the menu panel (after a confirmed send, "Take screenshot",
    // the back-to-application button); set by the panel.
    void setCloseMenu(std::function<void()> closeMenu) { closeMenu_ = std::move(closeMenu); }

    // The alert's message for these entries; empty when the issue may be sent.
    static QString validationMessage(bool typeChosen, bool severityChosen, const QString& summary,
                                     const QString& description);

    // ---- IssueTextForm ----------------------------------------------------
    QString summaryText() const override;
    QString descriptionText() const override;
    void setSummaryText(const QString& text) override;
    void setDescriptionText(const QString& text) override;
    QWidget* formView() override { return this; }

    // ---- the tester's actions ---------------------------------------------
    void setTypeIndex();
    void setPriorityIndex();
    void chooseValueIndex(int index) override;
    // Opens the text entry: true for the summary, false for the description.
    void goToModalTextViewsVC(bool summary);
    void btnSendPressed();
    void btnBackPressed();
    void btnCancelAttachedRequirement();
    void showOfflineModeMessage(bool show);
    void updateActiveRequirement();

    // ---- the screenshots --------------------------------------------------
    // Reads the stored list back and rebuilds the thumbnails.
    void rebuildScrollView() override;
    void goToLastScreenshot() override;
    // A thumbnail's tap: the screenshot's preview over the form.
    void tapOnScreenshot(int index);
    // The menu panel's screenshot action: the fresh capture (the shared
    // state's last image) in the preview over the form, or the limit warning.
    void btnMenuScreenshotsPressed();
    // Deletes the screenshot at this index of the list shown (out of range: nothing).
    void deleteScreenshotPressed(int index);
    // "From library": a picture file from the Pictures folder.
    void btnAddImageFromLibraryPressed();
    // Adds a picture file as a screenshot; false, with the alert, for one too
    // big for the screen or not a picture.
    bool addImageFile(const QString& path);
    // "Take screenshot": the form goes so that the host can be captured.
    void takeScreenshotButton();
    // The limit warning when the list is full; true when one more may be added.
    bool allowAnotherScreenshot() override;
    ScreenshotStrip* strip() const { return strip_; }

    void cancelButtonPressed() override;

    QLabel* typeLabel() const { return lblTypeString_; }
    QLabel* severityLabel() const { return lblSeverityString_; }
    QPushButton* sendButton() const { return btnSend_; }
    QPushButton* typeButton() const { return btnType_; }
    QPushButton* severityButton() const { return btnSeverity_; }
    QPushButton* summaryEditButton() const { return btnSummaryEdit_; }
    QPushButton* descriptionEditButton() const { return btnDescriptionEdit_; }
    QPushButton* libraryButton() const { return btnLibrary_; }
    QPushButton* takeScreenshotBtn() const { return btnTakeScreenshot_; }
    QWidget* loadingView() const { return loadingView_; }
    QWidget* offlineBar() const { return offlineBar_; }
    QLabel* requirementLabel() const { return lblRequirement_; }

signals:
    // The form left the screen (back, "Take screenshot", after a send).
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QWidget* alertDelegateView() override { return this; }

private:
    void buildUI();
    QWidget* buildNavBar();
    QWidget* buildRequirementBox();
    QPushButton* choiceButton(QLabel** label, QLabel** icon, const QString& placeholder);
    void openPicker(const QStringList& names, const QString& title, const QStringList& icons, int tag);
    void issueSent(const QString& title, const QString& message);
    void resetFields();
    void saveIssue();
    void setLoadingHidden(bool hidden);
    void showAlert(const QString& title, const QString& message);

    IssueChoices choices_;
    QStringList typeIcons_;
    QStringList severityIcons_;
    int indexType_ = 1;
    int indexPriority_ = 1;
    int selectedTag_ = 0;
    bool shouldCloseLib_ = false;
    bool sending_ = false;
    QVariantMap activeRequirement_;
    std::function<void()> closeMenu_;

    QScrollArea* scroll_ = nullptr;
    QWidget* navBar_ = nullptr;
    QPushButton* btnSend_ = nullptr;
    QPushButton* btnBack_ = nullptr;
    QWidget* offlineBar_ = nullptr;
    QWidget* requirementBox_ = nullptr;
    QLabel* lblRequirement_ = nullptr;
    QPushButton* btnType_ = nullptr;
    QPushButton* btnSeverity_ = nullptr;
    QLabel* lblTypeString_ = nullptr;
    QLabel* lblSeverityString_ = nullptr;
    QLabel* typeIcon_ = nullptr;
    QLabel* severityIcon_ = nullptr;
    QLineEdit* summaryTextField_ = nullptr;
    QPlainTextEdit* descriptionTextView_ = nullptr;
    QPushButton* btnSummaryEdit_ = nullptr;
    QPushButton* btnDescriptionEdit_ = nullptr;
    QPushButton* btnLibrary_ = nullptr;
    QPushButton* btnTakeScreenshot_ = nullptr;
    ScreenshotStrip* strip_ = nullptr;
    QWidget* loadingView_ = nullptr;
    QPointer<QWidget> textEntry_;
};

}  // namespace brelvo
