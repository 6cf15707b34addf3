#pragma once

#include <QString>
#include <QVariant>

namespace brelvo {

// The error the lock screen and the alerts show, with the action button the
// service asks for. Built from a whole answer; never stored.
class ErrorInfo {
public:
    // "error" at the top level; "url", "title" and "refresh" inside the nested
    // "url_scheme". Anything but a dictionary gives an empty record.
    explicit ErrorInfo(const QVariant& answer = {});

    QString errorMessage() const { return errorMessage_; }
    void setErrorMessage(const QString& message) { errorMessage_ = message; }
    QString url() const { return url_; }
    QString buttonTitle() const { return buttonTitle_; }
    bool showRefreshButton() const { return showRefreshButton_; }
    void setShowRefreshButton(bool show) { showRefreshButton_ = show; }

    bool operator==(const ErrorInfo&) const = default;

private:
    QString errorMessage_;
    QString url_;
    QString buttonTitle_;
    bool showRefreshButton_ = false;
};

}  // namespace brelvo
