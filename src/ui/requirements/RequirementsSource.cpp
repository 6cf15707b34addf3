#include "ui/requirements/RequirementsSource.h"

#include "platform/Dispatch.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/VariantKinds.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/InactivityTrigger.h"
#include "state/RequirementOrder.h"
#include "state/SharedState.h"

#include <QCoreApplication>
#include <QPointer>
#include <QVariantMap>

namespace brelvo {
namespace {

// Whether the answer is a page: a success envelope whose payload holds a
// "requirements" array. Anything else (no answer, a web page, an error code)
// leaves the rows as they are.
bool isPage(const QString& answer) {
    if (answer.isEmpty()) return false;
    const QVariantMap envelope = json::parse(answer.toUtf8()).toMap();
    const QVariant code = envelope.value(QStringLiteral("response_code"));
    if (!variants::isNumber(code) || code.toDouble() != 0) return false;
    return envelope.value(QStringLiteral("payload")).toMap().value(QStringLiteral("requirements")).typeId() ==
           QMetaType::QVariantList;
}

}  // namespace

RequirementsSource::RequirementsSource(QObject* parent) : QObject(parent) {}

int RequirementsSource::nextPage(qsizetype rows, const QVariant& pageSize) {
    bool ok = false;
    const qlonglong size = pageSize.toLongLong(&ok);
    if (!ok || size <= 0 || size > rows) return -1;
    return static_cast<int>(rows / size);
}

bool RequirementsSource::loadTab(int status) {
    if (!SharedState::shared().isInit()) return false;
    ++generation_;
    status_ = status;
    rows_.clear();
    asked_.clear();
    failedPage_ = -1;
    setWaiting(0);
    emit rowsChanged(rows_);
    request(0);
    return true;
}

bool RequirementsSource::rowShown(int row) {
    if (row + 1 != rows_.size() || !SharedState::shared().isInit()) return false;
    const int page = nextPage(rows_.size(), NetworkClientBrelvo::shared().page_size());
    // A short last page (or a rebuilt last row) asks for nothing more: the
    // page is the one already asked for.
    if (page < 0 || asked_.contains(page)) return false;
    request(page);
    return true;
}

bool RequirementsSource::retry() {
    if (failedPage_ < 0 || !SharedState::shared().isInit()) return false;
    request(failedPage_);
    return true;
}

void RequirementsSource::takeList(const QVariantList& rows, const QVariant& running) {
    ++generation_;
    status_ = kPending;
    rows_ = rows;
    sortByPriority(rows_);
    asked_ = {0};
    failedPage_ = -1;
    setWaiting(0);
    emit rowsChanged(rows_);
    running_ = running;
    emit runningChanged(running_);
}

void RequirementsSource::request(int page) {
    asked_.insert(page);
    if (failedPage_ == page) failedPage_ = -1;
    setWaiting(waiting_ + 1);
    const quint64 generation = generation_;
    const int status = status_;
    const QPointer<RequirementsSource> self(this);
    dispatch::toGlobal([self, generation, page, status] {
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("requirements"), JSONClientBrelvo::shared().getRequirementsData(page, status));
        resetInactivityTriggerFor(answer);
        AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();
        const bool ok = isPage(answer);
        // Reading the page also takes over its page size.
        const QVariantList rows = ok ? analyser.getRequirementsArray(answer).toList() : QVariantList();
        if (analyser.isError()) analyser.handleErrorFromResponse(answer);
        // The guard is read on the GUI thread, where the source is destroyed.
        dispatch::toMain([self, generation, page, ok, rows] {
            if (self) self->answered(generation, page, ok, rows);
        });
    });
}

void RequirementsSource::answered(quint64 generation, int page, bool ok, const QVariantList& rows) {
    if (generation != generation_) {
        qCDebug(lcBrelvo) << "requirements page" << page << "dropped: the tab changed meanwhile";
        return;
    }
    setWaiting(waiting_ - 1);
    if (!ok) {
        asked_.remove(page);
        failedPage_ = page;
        qCInfo(lcBrelvo) << "requirements page" << page << "of status" << status_ << "not loaded";
        emit failed(status_, page);
        return;
    }
    if (rows.isEmpty()) return;
    rows_.append(rows);
    sortByPriority(rows_);
    emit rowsChanged(rows_);
}

void RequirementsSource::setWaiting(int waiting) {
    const bool was = isLoading();
    waiting_ = waiting;
    if (was != isLoading()) emit loadingChanged(isLoading());
}

}  // namespace brelvo
