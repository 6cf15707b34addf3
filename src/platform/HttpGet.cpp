#include "platform/HttpGet.h"

#include "platform/CappedBody.h"
#include "platform/CurlHandle.h"
#include "platform/Log.h"

#include <QUrl>

#include <atomic>

namespace brelvo::http {
namespace {

std::atomic<std::chrono::milliseconds::rep> gDefaultTimeout{30000};

}  // namespace

std::chrono::milliseconds defaultGetTimeout() {
    return std::chrono::milliseconds(gDefaultTimeout.load());
}

void setDefaultGetTimeout(std::chrono::milliseconds timeout) {
    gDefaultTimeout = timeout.count();
}

const char* redirectProtocols(const QString& scheme) {
    return scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? "https" : "http,https";
}

std::optional<QByteArray> get(const QString& url, std::chrono::milliseconds timeout) {
    // Percent-encode what needs it (spaces, non-ASCII) so that no raw control
    // character or line break reaches the request line.
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qCWarning(lcBrelvo) << "not an http(s) address, nothing fetched:" << url.left(200);
        return std::nullopt;
    }
    const curl::Api& lib = curl::api();
    const curl::Handle handle = curl::newHandle();
    CURL* curl = handle.get();
    if (!curl) {
        qCWarning(lcBrelvo) << "cannot make an HTTP request for" << url.left(200);
        return std::nullopt;
    }
    const QByteArray encoded = parsed.toEncoded();
    CappedBody body(kMaxGetBytes);
    lib.easy_setopt(curl, CURLOPT_URL, encoded.constData());
    lib.easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    if (lib.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") != CURLE_OK ||
        lib.easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, redirectProtocols(scheme)) != CURLE_OK) {
        qCWarning(lcBrelvo) << "libcurl cannot limit the schemes of" << url.left(200) << "; nothing fetched";
        return std::nullopt;
    }
    lib.easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    lib.easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    lib.easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    lib.easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectCappedBody);
    lib.easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    const CURLcode result = lib.easy_perform(curl);
    long status = 0;
    lib.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);

    if (body.tooLarge) {
        qCWarning(lcBrelvo) << "the answer from" << url.left(200) << "is larger than" << kMaxGetBytes << "bytes; dropped";
        return std::nullopt;
    }
    if (result != CURLE_OK) {
        qCWarning(lcBrelvo) << "cannot fetch" << url.left(200) << ":" << lib.easy_strerror(result);
        return std::nullopt;
    }
    if (status < 200 || status > 299) {
        qCWarning(lcBrelvo) << "cannot fetch" << url.left(200) << ": HTTP status" << status;
        return std::nullopt;
    }
    return body.bytes;
}

}  // namespace brelvo::http
