#pragma once

#include "ui/requirements/EGORefreshTableHeaderViewBrelvo.h"
#include "ui/session/BVAlert.h"

#include <QPointer>
#include <QVariantList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace brelvo {

class RequirementViewController;
class RequirementsSource;

// The build's test requirements, full screen over the menu: the running
// requirement at the top, three tabs (pending, passed, failed), the selected
// tab's requirements by priority, "NO TESTS" for an empty tab, pull-to-refresh,
// and the next page when the last row shows. A row opens the requirement's
// detail. The rows come from the menu's RequirementsSource, which the menu's
// fetch feeds; this screen never talks to the service itself. Made once by
// the menu and shown and hidden from then on.
class RequirementsViewController : public QWidget,
                                   public EGORefreshTableHeaderDelegateBrelvo,
                                   public BVAlertDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 67;

    // The source is not owned and outlives the screen (the menu holds both).
    explicit RequirementsViewController(RequirementsSource* source, QWidget* parent = nullptr);
    ~RequirementsViewController() override;

    RequirementsSource* source() const { return source_; }

    // The running requirement in the header, or "No active test".
    void updateActiveRequirement(const QVariant& requirement);
    // The header's open button by the transport's rrid.
    void updateRunning();
    // Loads the selected tab from its first page.
    void getRequirementsList();
    // The tab at 0 pending, 1 passed, 2 failed.
    void btnMenuPressed(int tab);
    void btnStartedRequirementPressed();
    RequirementViewController* createRequirementView();
    void btnBackPressed();
    // With true: hides after 0.5 s and asks for the menu; with false: hides.
    void exit(bool showMenu);
    // Forwards the running requirement to the menu.
    void updateLblRequirement(const QVariant& requirement);
    void selectRow(int row);

    void egoRefreshTableHeaderDidTriggerRefresh(EGORefreshTableHeaderViewBrelvo*) override;
    bool egoRefreshTableHeaderDataSourceIsLoading(EGORefreshTableHeaderViewBrelvo*) override { return reloading_; }
    std::optional<QDateTime> egoRefreshTableHeaderDataSourceLastUpdated(EGORefreshTableHeaderViewBrelvo*) override;
    QWidget* alertDelegateView() override { return this; }

    int index() const { return index_; }  // status of the selected tab: 0, 2 or 3
    QVariantList list() const { return list_; }
    QListWidget* tb() const { return tb_; }
    QPushButton* tabButton(int tab) const { return tabs_[tab]; }
    QLabel* lblNoRequirements() const { return lblNoRequirements_; }
    QLabel* lblActiveRequirement() const { return lblActiveRequirement_; }
    QLabel* lblActiveRequirement2() const { return lblActiveRequirement2_; }
    QLabel* imgNoActiveReqs() const { return imgNoActiveReqs_; }
    QPushButton* btnStartedRequirement() const { return btnStartedRequirement_; }
    QPushButton* btnBack() const { return btnBack_; }
    EGORefreshTableHeaderViewBrelvo* refreshHeaderView() const { return refreshHeaderView_; }
    BVAlert* alert() const { return alert_; }
    RequirementViewController* controller() const;

signals:
    // The running requirement changed (none when it ended): the menu shows it.
    void activeRequirementChanged(const QVariant& requirement);
    // The screen closed towards the menu.
    void menuRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createGUI();
    void showRows(const QVariantList& rows);
    void layoutTable();
    void lastRowShown();
    void setTabsEnabled(bool enabled);

    RequirementsSource* source_;
    QVariantList list_;
    int index_ = 0;
    bool reloading_ = false;
    QPointer<RequirementViewController> controller_;
    QPointer<BVAlert> alert_;

    QWidget* navBar_ = nullptr;
    QPushButton* btnBack_ = nullptr;
    QWidget* header_ = nullptr;
    QLabel* lblReq_ = nullptr;  // "Test"
    QLabel* lblActiveRequirement_ = nullptr;
    QLabel* lblActiveRequirement2_ = nullptr;
    QLabel* activePriorityLabel_ = nullptr;
    QLabel* imgNoActiveReqs_ = nullptr;
    QPushButton* btnStartedRequirement_ = nullptr;
    QWidget* tabBar_ = nullptr;
    QPushButton* tabs_[3] = {};
    QWidget* tableArea_ = nullptr;
    QListWidget* tb_ = nullptr;
    EGORefreshTableHeaderViewBrelvo* refreshHeaderView_ = nullptr;
    QLabel* lblNoRequirements_ = nullptr;
};

}  // namespace brelvo
