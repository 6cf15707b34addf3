#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariant>

#include <chrono>
#include <functional>

namespace brelvo {

// The one way to the service: a blocking HTTP POST of a JSON body to
// <base URL>api/1_0/lib/<method>, and the values many bodies carry (the
// session's access token, the requirement page size, the running requirement).
// Safe to use from any thread.
class NetworkClientBrelvo {
public:
    static NetworkClientBrelvo& shared();
    NetworkClientBrelvo();

    // The answer's text whatever its HTTP status; "" (not null) at once and
    // without a request when the service's host is unreachable; a null QString
    // when no answer came (time-out, refused, reset) or it had no bytes.
    // Blocks for up to the time-out. A report that may be resent passes its
    // delivery identifier (DeliveryId.h), sent as a header beside the body.
    QString makePOSTRequestWithMethod(const QString& method, const QByteArray& body,
                                      const QString& deliveryId = QString()) const;

    static QString urlForMethod(const QString& method);
    // The service's base URL, ending with "/": read per request, as the host
    // may repoint it while running.
    static QString serviceUrl();

    QString access_token() const;
    void setToken(const QString& token);
    QString uid() const;
    void setUserId(const QString& uid);
    QVariant page_size() const;
    void setRequirementsPageSize(const QVariant& size);
    QString rrid() const;
    void setRrid(const QString& rrid);
    // Called, on the changing thread, whenever the token or the rid changes.
    void setSessionObserver(std::function<void()> observer);

    // 30 seconds unless changed (tests use a shorter one).
    std::chrono::milliseconds timeout() const;
    void setTimeout(std::chrono::milliseconds timeout);

    // Answers larger than this are cut off and treated as no answer.
    static constexpr qint64 kMaxAnswerBytes = 256LL * 1024 * 1024;

private:
    void setSessionValue(QString& field, const QString& value);

    mutable QMutex mutex_;
    QString accessToken_ = QStringLiteral("");
    QString uid_ = QStringLiteral("");
    QVariant pageSize_;
    QString rrid_ = QStringLiteral("");
    std::chrono::milliseconds timeout_{30000};
    std::function<void()> sessionObserver_;
};

}  // namespace brelvo
