#include "state/UserHelperBrelvo.h"

namespace brelvo {

UserHelperBrelvo& UserHelperBrelvo::shared() {
    static UserHelperBrelvo* helper = new UserHelperBrelvo;  // lives until the process ends
    return *helper;
}

UserHelperBrelvo::UserHelperBrelvo() : errorInfo_(QVariantMap()) {}

QColor UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(const QVariant& number) {
    switch (number.toLongLong()) {
    case 0:
        return QColor::fromRgbF(2.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f);  // the platform's light grey
    case 1:
        return QColor(110, 158, 64);
    case 2:
        return QColor(254, 116, 72);
    case 3:
        return QColor(253, 91, 54);
    default:
        return QColor();
    }
}

QString UserHelperBrelvo::getPriorityByPriorityNumber(const QVariant& number) const {
    bool wantedIsNumber = false;
    const double wanted = number.toDouble(&wantedIsNumber);
    if (!wantedIsNumber) return QStringLiteral("");
    QMutexLocker lock(&mutex_);
    for (const QVariant& entry : std::as_const(requirementsProperties_)) {
        const QVariantMap priority = entry.toMap();
        bool idIsNumber = false;
        const double id = priority.value(QStringLiteral("id")).toDouble(&idIsNumber);
        if (idIsNumber && id == wanted) return priority.value(QStringLiteral("name")).toString().toUpper();
    }
    return QStringLiteral("");
}

ErrorInfo UserHelperBrelvo::errorInfo() const {
    QMutexLocker lock(&mutex_);
    return errorInfo_;
}

void UserHelperBrelvo::setErrorInfo(const ErrorInfo& info) {
    QMutexLocker lock(&mutex_);
    errorInfo_ = info;
}

void UserHelperBrelvo::updateErrorInfo(const std::function<void(ErrorInfo&)>& change) {
    QMutexLocker lock(&mutex_);
    change(errorInfo_);
}

void UserHelperBrelvo::setErrorMessage(const QString& message) {
    QMutexLocker lock(&mutex_);
    errorInfo_.setErrorMessage(message);
}

QString UserHelperBrelvo::name() const {
    QMutexLocker lock(&mutex_);
    return name_;
}

void UserHelperBrelvo::setName(const QString& value) {
    QMutexLocker lock(&mutex_);
    name_ = value;
}

QString UserHelperBrelvo::role() const {
    QMutexLocker lock(&mutex_);
    return role_;
}

void UserHelperBrelvo::setRole(const QString& value) {
    QMutexLocker lock(&mutex_);
    role_ = value;
}

QString UserHelperBrelvo::iconPath() const {
    QMutexLocker lock(&mutex_);
    return iconPath_;
}

void UserHelperBrelvo::setIconPath(const QString& value) {
    QMutexLocker lock(&mutex_);
    iconPath_ = value;
}

QVariantMap UserHelperBrelvo::activeRequirement() const {
    QMutexLocker lock(&mutex_);
    return activeRequirement_;
}

void UserHelperBrelvo::setActiveRequirement(const QVariantMap& value) {
    QMutexLocker lock(&mutex_);
    activeRequirement_ = value;
}

QVariantList UserHelperBrelvo::requirementsProperties() const {
    QMutexLocker lock(&mutex_);
    return requirementsProperties_;
}

void UserHelperBrelvo::setRequirementsProperties(const QVariantList& value) {
    QMutexLocker lock(&mutex_);
    requirementsProperties_ = value;
}

QImage UserHelperBrelvo::lastImage() const {
    QMutexLocker lock(&mutex_);
    return lastImage_;
}

void UserHelperBrelvo::setLastImage(const QImage& value) {
    QMutexLocker lock(&mutex_);
    lastImage_ = value;
}

CustomViewBrelvo* UserHelperBrelvo::customView() const {
    QMutexLocker lock(&mutex_);
    return customView_;
}

void UserHelperBrelvo::setCustomView(CustomViewBrelvo* value) {
    QMutexLocker lock(&mutex_);
    customView_ = value;
}

FeedbackViewControllerBrelvo* UserHelperBrelvo::feedbackView() const {
    QMutexLocker lock(&mutex_);
    return feedbackView_;
}

void UserHelperBrelvo::setFeedbackView(FeedbackViewControllerBrelvo* value) {
    QMutexLocker lock(&mutex_);
    feedbackView_ = value;
}

QString UserHelperBrelvo::titleCompany() const {
    QMutexLocker lock(&mutex_);
    return titleCompany_;
}

void UserHelperBrelvo::setTitleCompany(const QString& value) {
    QMutexLocker lock(&mutex_);
    titleCompany_ = value;
}

QString UserHelperBrelvo::revisionNumber() const {
    QMutexLocker lock(&mutex_);
    return revisionNumber_;
}

void UserHelperBrelvo::setRevisionNumber(const QString& value) {
    QMutexLocker lock(&mutex_);
    revisionNumber_ = value;
}

quint64 UserHelperBrelvo::typeIndex() const {
    QMutexLocker lock(&mutex_);
    return typeIndex_;
}

void UserHelperBrelvo::setTypeIndex(quint64 value) {
    QMutexLocker lock(&mutex_);
    typeIndex_ = value;
}

quint64 UserHelperBrelvo::severityIndex() const {
    QMutexLocker lock(&mutex_);
    return severityIndex_;
}

void UserHelperBrelvo::setSeverityIndex(quint64 value) {
    QMutexLocker lock(&mutex_);
    severityIndex_ = value;
}

bool UserHelperBrelvo::isOpen() const {
    QMutexLocker lock(&mutex_);
    return isOpen_;
}

void UserHelperBrelvo::setIsOpen(bool value) {
    QMutexLocker lock(&mutex_);
    isOpen_ = value;
}

QAbstractButton* UserHelperBrelvo::sliderButton() const {
    QMutexLocker lock(&mutex_);
    return sliderButton_;
}

void UserHelperBrelvo::setSliderButton(QAbstractButton* value) {
    QMutexLocker lock(&mutex_);
    sliderButton_ = value;
}

QAbstractButton* UserHelperBrelvo::screenshotButton() const {
    QMutexLocker lock(&mutex_);
    return screenshotButton_;
}

void UserHelperBrelvo::setScreenshotButton(QAbstractButton* value) {
    QMutexLocker lock(&mutex_);
    screenshotButton_ = value;
}

QAbstractButton* UserHelperBrelvo::mainMenuButton() const {
    QMutexLocker lock(&mutex_);
    return mainMenuButton_;
}

void UserHelperBrelvo::setMainMenuButton(QAbstractButton* value) {
    QMutexLocker lock(&mutex_);
    mainMenuButton_ = value;
}

}  // namespace brelvo
