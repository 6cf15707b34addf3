#pragma once

#include <QObject>
#include <QSet>
#include <QVariant>
#include <QVariantList>

namespace brelvo {

// The rows of the requirements screen: one tab (a status) of the build's
// requirements, loaded page by page from the service and kept sorted by
// priority, highest first (RequirementOrder.h). The screen shows what the
// signals deliver and tells the source which row it shows; it never talks to
// the service itself.
//
// Lives on the GUI thread: every call is made there and every signal arrives
// there. Requests run on the global pool. An answer is used only by the tab
// load that asked for it: one that arrives after the tab changed, or after a
// reload, is dropped. While the session is locked nothing is sent.
class RequirementsSource : public QObject {
    Q_OBJECT
public:
    // Status numbers of the tabs (and of the running requirement).
    static constexpr int kPending = 0;
    static constexpr int kInProgress = 1;
    static constexpr int kPassed = 2;
    static constexpr int kFailed = 3;

    explicit RequirementsSource(QObject* parent = nullptr);

    int status() const { return status_; }  // the selected tab; kPending at first
    QVariantList rows() const { return rows_; }
    QVariant running() const { return running_; }  // a requirement dictionary or none
    bool isLoading() const { return waiting_ > 0; }

    // Selects the tab, empties the rows and asks for its first page. False,
    // and nothing changes, while the session is locked.
    bool loadTab(int status);
    // Pull-to-refresh: the selected tab again from its first page.
    bool reload() { return loadTab(status_); }
    // The screen builds the cell of this row (0-based). On the last row the
    // next page is asked for, once, when the rows fill whole pages of the
    // transport's page size. True when a request went out.
    bool rowShown(int row);
    // After failed: asks for the page that failed again. False when none failed.
    bool retry();
    // The menu's fetch hands over the pending tab's first page and the running
    // requirement; the source selects the pending tab with them.
    void takeList(const QVariantList& rows, const QVariant& running);

    // The page that follows rows already loaded with this page size; -1 when
    // none is due (a page size that is missing, 0 or not a number, or larger
    // than the rows).
    static int nextPage(qsizetype rows, const QVariant& pageSize);

signals:
    // The whole new content of the rows, sorted.
    void rowsChanged(const QVariantList& rows);
    void runningChanged(const QVariant& requirement);
    // True while the selected tab waits for an answer (the tabs are disabled then).
    void loadingChanged(bool loading);
    // A request of the selected tab got no usable answer; the rows loaded so
    // far stay, and retry() asks again.
    void failed(int status, int page);

private:
    void request(int page);
    void answered(quint64 generation, int page, bool ok, const QVariantList& rows);
    void setWaiting(int waiting);

    int status_ = kPending;
    QVariantList rows_;
    QVariant running_;
    // Bumped by every tab load: answers of an older one are stale.
    quint64 generation_ = 0;
    QSet<int> asked_;  // pages of this tab load asked for (answered or on their way)
    int failedPage_ = -1;
    int waiting_ = 0;
};

}  // namespace brelvo
