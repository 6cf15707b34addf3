#pragma once

#include "ui/session/BVAlert.h"

#include <QPointer>
#include <QVariantMap>
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace brelvo {

class RequirementLoader;
class RequirementsViewController;
struct Notification;

// One requirement in full, where the tester starts testing it, passes it,
// fails it (and may then report an issue against it) or cancels the test.
// The list lays it over itself and posts "updateRequirement" with the id to
// show; the screen fetches the requirement and reports results
// (RequirementReporter), which reach the service even when sent offline.
//
// Only one requirement runs at a time: its id is the transport's rrid and its
// fields are the shared active requirement, from which the issue form
// attaches new issues to it.
class RequirementViewController : public QWidget, public BVAlertDelegate {
    Q_OBJECT
public:
    // Status numbers of a requirement and of a reported result.
    enum Status { Pending = 0, InProgress = 1, Passed = 2, Failed = 3 };

    explicit RequirementViewController(QWidget* parent = nullptr);
    ~RequirementViewController() override;

    void setController(RequirementsViewController* list) { controller_ = list; }

    // "TEST CASE", "USER STORY", "TASK"; "TEST" for any other kind.
    static QString kindCaption(const QVariant& kind);

    // "updateRequirement": shows the loading view and fetches the requirement.
    void updateInfo(const Notification& notification);
    // False, and nothing sent, while the session is locked.
    bool getRequirementWithRid(int rid);
    // Reports the tester's result for the requirement; false while locked.
    bool applyStatusForRequirement(int status, const QVariant& rid);
    // Fills the screen with a fetched requirement.
    void showRequirement(const QVariantMap& requirement);
    // The buttons for the requirement's status.
    void analizeStatus(const QVariant& status);
    // Fills the page with the requirement's sections.
    void rebuildPage(const QVariantMap& requirement);

    void btnStartTestingPressed();
    void btnSuccessPressed();
    void btnFailPressed();
    void btnCancelPressed();
    void btnContinueTestingPressed() { makeExit(); }
    void btnClosePressed() { makeExit(); }
    void btnBackPressed();
    // "YES" and "NO" of the fail and the cancel alerts.
    void successButtonPressed() override;
    void cancelButtonPressed() override;
    QWidget* alertDelegateView() override { return this; }

    // Ends the running test here: no rrid, no active requirement.
    void cleanRequirement();
    // Closes this screen and the list, and shows the menu.
    void makeExit();

    QVariant rid() const { return rid_; }
    QVariantMap currentRequirement() const { return currentRequirement_; }
    QPushButton* btnStartTesting() const { return btnStartTesting_; }
    QPushButton* btnTestSuccess() const { return btnTestSuccess_; }
    QPushButton* btnTestFail() const { return btnTestFail_; }
    QPushButton* btnCancel() const { return btnCancel_; }
    QPushButton* btnContinueTesting() const { return btnContinueTesting_; }
    QPushButton* btnBack() const { return btnBack_; }
    QPushButton* btnClose() const { return btnClose_; }
    QLabel* lblCodeReq() const { return lblCodeReq_; }
    QLabel* lblRequirementType() const { return lblRequirementType_; }
    QLabel* priorityLabel() const { return priorityLabel_; }
    QWidget* loadingView() const { return loadingView_; }
    BVAlert* alert() const { return alert_; }
    // The section captions on the page, top to bottom.
    QStringList sectionCaptions() const;
    // The text under a section caption; empty when the section is left out.
    QString sectionText(const QString& caption) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createGUI();
    void createLoadingView();
    void showAlert(const QString& title, const QString& message);
    void removeView();

    QPointer<RequirementsViewController> controller_;
    RequirementLoader* loader_;
    QVariant rid_;
    QVariantMap currentRequirement_;
    bool failedPressed_ = false;
    QPointer<BVAlert> alert_;

    QPushButton* btnBack_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    QLabel* lblRequirementType_ = nullptr;
    QLabel* lblCodeReq_ = nullptr;
    QLabel* priorityLabel_ = nullptr;
    QScrollArea* mainScroll_ = nullptr;
    QVBoxLayout* sections_ = nullptr;
    QWidget* buttonBar_ = nullptr;
    QPushButton* btnStartTesting_ = nullptr;
    QPushButton* btnTestSuccess_ = nullptr;
    QPushButton* btnTestFail_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QPushButton* btnContinueTesting_ = nullptr;
    QWidget* loadingView_ = nullptr;
    QLabel* loadingText_ = nullptr;
};

}  // namespace brelvo
