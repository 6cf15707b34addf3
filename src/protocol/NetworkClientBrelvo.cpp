#include "protocol/NetworkClientBrelvo.h"

#include "platform/AppInfo.h"
#include "platform/CappedBody.h"
#include "platform/CurlHandle.h"
#include "platform/Log.h"
#include "protocol/Connectivity.h"
#include "protocol/DeliveryId.h"

#include <atomic>

namespace brelvo {

namespace {

// Bumped under the client's lock whenever a token changes or a client is
// made, so that a thread may keep the token it read last and skip the lock
// while that stands: every logged line reads the token, from many threads.
std::atomic<quint64> g_tokenGeneration{1};

}  // namespace

NetworkClientBrelvo& NetworkClientBrelvo::shared() {
    static NetworkClientBrelvo* client = new NetworkClientBrelvo;  // lives until the process ends
    return *client;
}

NetworkClientBrelvo::NetworkClientBrelvo() {
    ++g_tokenGeneration;  // a client made where another was drops what threads kept of it
}

QString NetworkClientBrelvo::serviceUrl() {
    return appinfo::serviceUrl();
}

QString NetworkClientBrelvo::urlForMethod(const QString& method) {
    return serviceUrl() + QStringLiteral("api/%1/lib/").arg(QStringLiteral("1_0")) + method;
}

QString NetworkClientBrelvo::makePOSTRequestWithMethod(const QString& method, const QByteArray& body,
                                                      const QString& deliveryId) const {
    if (!connectivity::reachable()) return QStringLiteral("");

    const curl::Api& lib = curl::api();
    const curl::Handle handle = curl::newHandle();
    CURL* curl = handle.get();
    if (!curl) {
        qCWarning(lcBrelvo) << "cannot make an HTTP request for" << method;
        return QString();
    }
    const QByteArray url = urlForMethod(method).toUtf8();
    curl_slist* headers = lib.slist_append(nullptr, "Content-Type: application/json");
    // curl would otherwise add "Expect: 100-continue" to large bodies and wait for the server's go-ahead.
    headers = lib.slist_append(headers, "Expect:");
    if (!deliveryId.isEmpty()) {
        const QByteArray line = QByteArray(delivery::kHeader) + ": " + deliveryId.toLatin1();
        headers = lib.slist_append(headers, line.constData());
    }
    CappedBody answer(kMaxAnswerBytes);
    lib.easy_setopt(curl, CURLOPT_URL, url.constData());
    lib.easy_setopt(curl, CURLOPT_POST, 1L);
    lib.easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    lib.easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    lib.easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    lib.easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout().count()));
    lib.easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectCappedBody);
    lib.easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    const CURLcode result = lib.easy_perform(curl);
    lib.slist_free_all(headers);

    if (answer.tooLarge) {
        qCWarning(lcBrelvo) << "the answer to" << method << "is larger than" << kMaxAnswerBytes << "bytes; dropped";
        return QString();
    }
    if (result != CURLE_OK) {
        qCWarning(lcBrelvo) << "no answer to" << method << ":" << lib.easy_strerror(result);
        return QString();
    }
    if (answer.bytes.isEmpty()) return QString();
    return QString::fromUtf8(answer.bytes);
}

QString NetworkClientBrelvo::access_token() const {
    thread_local struct {
        const NetworkClientBrelvo* client = nullptr;
        quint64 generation = 0;
        QString token;
    } seen;
    if (seen.client == this && seen.generation == g_tokenGeneration.load(std::memory_order_acquire)) return seen.token;
    QMutexLocker lock(&mutex_);
    seen.client = this;
    seen.generation = g_tokenGeneration.load(std::memory_order_relaxed);
    seen.token = accessToken_;
    return seen.token;
}

void NetworkClientBrelvo::setSessionValue(QString& field, const QString& value) {
    std::function<void()> observer;
    {
        QMutexLocker lock(&mutex_);
        if (field == value) return;
        field = value;
        if (&field == &accessToken_) g_tokenGeneration.fetch_add(1, std::memory_order_release);
        observer = sessionObserver_;
    }
    if (observer) observer();  // outside the lock: it may read the values back
}

void NetworkClientBrelvo::setToken(const QString& token) {
    setSessionValue(accessToken_, token);
}

QString NetworkClientBrelvo::uid() const {
    QMutexLocker lock(&mutex_);
    return uid_;
}

void NetworkClientBrelvo::setUserId(const QString& uid) {
    QMutexLocker lock(&mutex_);
    uid_ = uid;
}

QVariant NetworkClientBrelvo::page_size() const {
    QMutexLocker lock(&mutex_);
    return pageSize_;
}

void NetworkClientBrelvo::setRequirementsPageSize(const QVariant& size) {
    QMutexLocker lock(&mutex_);
    pageSize_ = size;
}

QString NetworkClientBrelvo::rrid() const {
    QMutexLocker lock(&mutex_);
    return rrid_;
}

void NetworkClientBrelvo::setRrid(const QString& rrid) {
    setSessionValue(rrid_, rrid);
}

void NetworkClientBrelvo::setSessionObserver(std::function<void()> observer) {
    QMutexLocker lock(&mutex_);
    sessionObserver_ = std::move(observer);
}

std::chrono::milliseconds NetworkClientBrelvo::timeout() const {
    QMutexLocker lock(&mutex_);
    return timeout_;
}

void NetworkClientBrelvo::setTimeout(std::chrono::milliseconds timeout) {
    QMutexLocker lock(&mutex_);
    timeout_ = timeout;
}

}  // namespace brelvo
