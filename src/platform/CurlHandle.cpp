#include "platform/CurlHandle.h"

#include <QByteArray>

#include <array>
#include <mutex>

namespace brelvo::curl {
namespace {

// One lock per kind of shared data, so that a thread resolving a name does
// not wait for another one taking a connection from the cache.
std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

void lock(CURL*, curl_lock_data data, curl_lock_access, void*) { locks[data].lock(); }
void unlock(CURL*, curl_lock_data data, void*) { locks[data].unlock(); }

struct Shared {
    CURLSH* share = nullptr;
    QByteArray caBundle;
};

// Made at the first request rather than at start: libcurl's global set-up
// loads the TLS library, which the host's start should not wait for.
const Shared& shared() {
    static const Shared made = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        Shared s;
        s.caBundle = qgetenv("BRELVO_CA_BUNDLE");
        s.share = curl_share_init();
        if (s.share) {
            curl_share_setopt(s.share, CURLSHOPT_LOCKFUNC, lock);
            curl_share_setopt(s.share, CURLSHOPT_UNLOCKFUNC, unlock);
            curl_share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
            curl_share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
            curl_share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
        return s;  // never cleaned up: requests may still run on other threads as the process ends
    }();
    return made;
}

}  // namespace

Handle newHandle() {
    const Shared& s = shared();
    Handle handle(curl_easy_init());
    if (!handle) return handle;
    CURL* curl = handle.get();
    if (s.share) curl_easy_setopt(curl, CURLOPT_SHARE, s.share);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!s.caBundle.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, s.caBundle.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    return handle;
}

}  // namespace brelvo::curl
