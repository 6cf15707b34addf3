#pragma once

#include <QColor>
#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <optional>

class QAbstractScrollArea;
class QLabel;

namespace brelvo {

class ActivityIndicator;
class EGORefreshTableHeaderViewBrelvo;

// What the pull-to-refresh header asks of the list it sits on. Each answer
// has a default, for a list that does not care.
class EGORefreshTableHeaderDelegateBrelvo {
public:
    virtual ~EGORefreshTableHeaderDelegateBrelvo() = default;
    virtual void egoRefreshTableHeaderDidTriggerRefresh(EGORefreshTableHeaderViewBrelvo*) {}
    virtual bool egoRefreshTableHeaderDataSourceIsLoading(EGORefreshTableHeaderViewBrelvo*) { return false; }
    virtual std::optional<QDateTime> egoRefreshTableHeaderDataSourceLastUpdated(EGORefreshTableHeaderViewBrelvo*) {
        return std::nullopt;
    }
};

// The pull-to-refresh header above a list: pulled down past the list's top
// it says "Pull down to refresh...", past kTriggerDistance "Release to
// refresh...", and released there it asks the delegate to reload and shows
// "Loading..." with a spinner until told the load finished.
//
// Offsets follow a scroll view's: 0 at rest, negative when the content is
// pulled down past its top. attach() feeds them from the mouse over a list's
// viewport; the list moves its rows down by contentShift(), where this header
// shows.
class EGORefreshTableHeaderViewBrelvo : public QWidget {
    Q_OBJECT
public:
    enum State { Pulling = 0, Normal = 1, Loading = 2 };

    static constexpr qreal kTriggerDistance = 65;  // points of pull that refresh
    static constexpr qreal kLoadingInset = 60;     // points kept open while loading
    static constexpr const char* kLastRefreshKey = "EGORefreshTableView_LastRefresh";

    explicit EGORefreshTableHeaderViewBrelvo(QWidget* parent = nullptr);
    EGORefreshTableHeaderViewBrelvo(QWidget* parent, const QString& arrowImageName, const QColor& textColor);

    void setDelegate(EGORefreshTableHeaderDelegateBrelvo* delegate) { delegate_ = delegate; }
    State state() const { return state_; }
    void setState(State state);
    void refreshLastUpdatedDate();

    // The list's vertical offset changed; `dragging` while a finger is on it.
    void egoRefreshScrollViewDidScroll(qreal offset, bool dragging);
    // The finger lifted at `offset`.
    void egoRefreshScrollViewDidEndDragging(qreal offset);
    // The reload the header asked for has finished.
    void egoRefreshScrollViewDataSourceDidFinishedLoading();

    // The room kept open above the rows (the scroll view's top inset).
    qreal topInset() const { return inset_; }
    // How far the rows are moved down now: the pull, or the inset when larger.
    qreal contentShift() const { return std::max(pull_, inset_); }

    // Follows the mouse over `list`'s viewport: a drag down while the list is
    // at its top pulls, and its release ends the drag.
    void attach(QAbstractScrollArea* list);

    QLabel* statusLabel() const { return statusLabel_; }
    QLabel* lastUpdatedLabel() const { return lastUpdatedLabel_; }
    ActivityIndicator* activityView() const { return activityView_; }
    qreal arrowAngle() const { return arrowAngle_; }
    bool isArrowShown() const { return arrowShown_; }

signals:
    // contentShift() changed: the list lays its rows out again.
    void contentShiftChanged(qreal shift);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool isLoading();
    void setInset(qreal inset);
    void setPull(qreal pull);

    EGORefreshTableHeaderDelegateBrelvo* delegate_ = nullptr;
    QLabel* statusLabel_;
    QLabel* lastUpdatedLabel_;
    ActivityIndicator* activityView_;
    QColor textColor_;
    State state_ = Normal;
    qreal arrowAngle_ = 0;
    bool arrowShown_ = true;
    qreal inset_ = 0;
    qreal pull_ = 0;
    QPointer<QAbstractScrollArea> list_;
    struct Press {
        qreal y;      // global y of the press, on a list at its top
        qreal inset;  // the room open above the rows then
    };
    std::optional<Press> press_;
};

}  // namespace brelvo
