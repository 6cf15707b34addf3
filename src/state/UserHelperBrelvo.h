#pragma once

#include "state/ErrorInfo.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

namespace brelvo {

class CustomViewBrelvo;
class FeedbackViewControllerBrelvo;

// The state the overlay's screens share: the error the lock screen and alerts
// show, the tester, the running requirement, the last screenshot, the chosen
// issue type and priority, and the menu panel's controllers and buttons.
// Written from the GUI thread and from service answers on pool threads, so
// every accessor works on a copy under a lock.
class UserHelperBrelvo {
public:
    static UserHelperBrelvo& shared();
    UserHelperBrelvo();  // the shared instance is the one the library uses

    // The colour that marks a requirement priority: 0 light grey, 1 green,
    // 2 orange, 3 red; an invalid QColor (no colour) for any other value.
    static QColor getColorForActivePriorityByPriorityNumber(const QVariant& number);
    // The upper-cased name of the first requirement priority whose "id" equals
    // the number; "" when none does.
    QString getPriorityByPriorityNumber(const QVariant& number) const;

    ErrorInfo errorInfo() const;
    void setErrorInfo(const ErrorInfo& info);
    // Changes the shared error record in place (e.g. only its message).
    void updateErrorInfo(const std::function<void(ErrorInfo&)>& change);
    // Replaces only the shared error record's message.
    void setErrorMessage(const QString& message);

    QString name() const;
    void setName(const QString& value);
    QString role() const;
    void setRole(const QString& value);
    QString iconPath() const;
    void setIconPath(const QString& value);

    // The running requirement's fields; setActiveRequirement replaces them all.
    QVariantMap activeRequirement() const;
    void setActiveRequirement(const QVariantMap& fields);

    // Requirement priorities known to the overlay: dictionaries with "id" and "name".
    QVariantList requirementsProperties() const;
    void setRequirementsProperties(const QVariantList& value);

    QImage lastImage() const;
    void setLastImage(const QImage& image);

    // The menu panel and the issue form; they set themselves and live as long
    // as the overlay does.
    CustomViewBrelvo* customView() const;
    void setCustomView(CustomViewBrelvo* view);
    FeedbackViewControllerBrelvo* feedbackView() const;
    void setFeedbackView(FeedbackViewControllerBrelvo* view);

    QString titleCompany() const;
    void setTitleCompany(const QString& value);
    QString revisionNumber() const;
    void setRevisionNumber(const QString& value);

    quint64 typeIndex() const;
    void setTypeIndex(quint64 value);
    quint64 severityIndex() const;
    void setSeverityIndex(quint64 value);

    bool isOpen() const;
    void setIsOpen(bool value);

    QAbstractButton* sliderButton() const;
    void setSliderButton(QAbstractButton* button);
    QAbstractButton* screenshotButton() const;
    void setScreenshotButton(QAbstractButton* button);
    QAbstractButton* mainMenuButton() const;
    void setMainMenuButton(QAbstractButton* button);

private:
    mutable QMutex mutex_;
    ErrorInfo errorInfo_;
    QString name_ = QStringLiteral("");
    QString role_ = QStringLiteral("");
    QString iconPath_ = QStringLiteral("");
    QVariantMap activeRequirement_;
    QVariantList requirementsProperties_;
    QImage lastImage_;
    CustomViewBrelvo* customView_ = nullptr;
    FeedbackViewControllerBrelvo* feedbackView_ = nullptr;
    QString titleCompany_;
    QString revisionNumber_;
    quint64 typeIndex_ = 0;
    quint64 severityIndex_ = 0;
    bool isOpen_ = false;
    QPointer<QAbstractButton> sliderButton_;
    QPointer<QAbstractButton> screenshotButton_;
    QPointer<QAbstractButton> mainMenuButton_;
};

}  // namespace brelvo
