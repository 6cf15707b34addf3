#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// Where to send the tester to leave for the service's own application, and
// where to install it from. Kept in the defaults store under "LogoutScheme".
class LogoutSchemeDM {
public:
    // Copies "url" and "install_url"; anything but a dictionary gives an empty record.
    explicit LogoutSchemeDM(const QVariant& dictionary = {});

    QString url() const { return url_; }
    QString installURL() const { return installURL_; }

    QVariantMap dictionary() const;
    void saveLogoutScheme() const;
    static LogoutSchemeDM restoreLogoutScheme();

    bool operator==(const LogoutSchemeDM&) const = default;

private:
    QString url_;
    QString installURL_;
};

}  // namespace brelvo
