// The pull-to-refresh header: its states by the pulled distance, the reload
// it asks for once, the room it keeps open while loading, and a real drag
// over a list.
#include "platform/ActivityIndicator.h"
#include "platform/Defaults.h"
#include "ui/requirements/EGORefreshTableHeaderViewBrelvo.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

using Header = EGORefreshTableHeaderViewBrelvo;

struct CountingList : EGORefreshTableHeaderDelegateBrelvo {
    int refreshes = 0;
    bool loading = false;
    void egoRefreshTableHeaderDidTriggerRefresh(Header*) override {
        ++refreshes;
        loading = true;
    }
    bool egoRefreshTableHeaderDataSourceIsLoading(Header*) override { return loading; }
    std::optional<QDateTime> egoRefreshTableHeaderDataSourceLastUpdated(Header*) override {
        return QDateTime(QDate(2026, 3, 4), QTime(5, 6));
    }
};

TEST(RefreshHeader, StatesFollowThePullAndAReleasePastTheThresholdReloadsOnce) {
    CountingList list;
    Header header;
    header.setDelegate(&list);
    header.setState(Header::Normal);
    EXPECT_EQ(header.statusLabel()->text(), "Pull down to refresh...");
    const QString updated = header.lastUpdatedLabel()->text();
    EXPECT_TRUE(updated.startsWith("Last Updated: ")) << updated.toStdString();
    EXPECT_EQ(Defaults::standard().object(Header::kLastRefreshKey).toString(), updated);

    // Exactly 65 points is not yet past; a hair more is, and back under it is not.
    header.egoRefreshScrollViewDidScroll(-65, true);
    EXPECT_EQ(header.state(), Header::Normal);
    header.egoRefreshScrollViewDidScroll(-65.5, true);
    EXPECT_EQ(header.state(), Header::Pulling);
    EXPECT_EQ(header.statusLabel()->text(), "Release to refresh...");
    EXPECT_EQ(header.arrowAngle(), 180);
    EXPECT_EQ(header.contentShift(), 65.5);
    header.egoRefreshScrollViewDidScroll(-30, true);
    EXPECT_EQ(header.state(), Header::Normal);
    header.egoRefreshScrollViewDidEndDragging(-64.9);
    EXPECT_EQ(list.refreshes, 0);

    // Released at 65: one reload, "Loading..." with the spinner, 60 points kept open.
    header.egoRefreshScrollViewDidEndDragging(-65);
    EXPECT_EQ(list.refreshes, 1);
    EXPECT_EQ(header.state(), Header::Loading);
    EXPECT_EQ(header.statusLabel()->text(), "Loading...");
    EXPECT_FALSE(header.isArrowShown());
    EXPECT_TRUE(header.activityView()->isAnimating());
    EXPECT_EQ(header.contentShift(), Header::kLoadingInset);
    // While loading, pulling again neither reloads nor opens more than 60 points of inset.
    header.egoRefreshScrollViewDidScroll(-90, true);
    EXPECT_EQ(header.topInset(), Header::kLoadingInset);
    header.egoRefreshScrollViewDidEndDragging(-90);
    EXPECT_EQ(list.refreshes, 1);

    list.loading = false;
    header.egoRefreshScrollViewDataSourceDidFinishedLoading();
    EXPECT_EQ(header.state(), Header::Normal);
    EXPECT_EQ(header.contentShift(), 0);
    EXPECT_FALSE(header.activityView()->isAnimating());
}

// Through mouse events over a list: 60 points of drag do nothing, 70 reload.
TEST(RefreshHeader, ARealDragOverAListBeyondTheThresholdReloads) {
    CountingList delegate;
    QListWidget list;
    list.addItems({"one", "two"});
    list.resize(320, 400);
    list.show();
    Header header;
    header.setDelegate(&delegate);
    header.attach(&list);
    const auto pull = [&](int distance) {
        QWidget* viewport = list.viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(100, 20));
        for (int y = 30; y <= 20 + distance; y += 10) QTest::mouseMove(viewport, QPoint(100, y));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(100, 20 + distance));
    };
    pull(60);
    EXPECT_EQ(delegate.refreshes, 0);
    EXPECT_EQ(header.state(), Header::Normal);
    pull(70);
    EXPECT_EQ(delegate.refreshes, 1);
    EXPECT_EQ(header.state(), Header::Loading);
    EXPECT_EQ(header.contentShift(), Header::kLoadingInset);
}

}  // namespace
