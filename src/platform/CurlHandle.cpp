#include "platform/CurlHandle.h"

#include "platform/Log.h"
#include "platform/OptionalLibrary.h"

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

// Made at the first request rather than at start.
const Shared& shared() {
    static const Shared made = [] {
        const Api& lib = api();
        Shared s;
        s.caBundle = qgetenv("BRELVO_CA_BUNDLE");
        s.share = lib.share_init();
        if (s.share) {
            lib.share_setopt(s.share, CURLSHOPT_LOCKFUNC, lock);
            lib.share_setopt(s.share, CURLSHOPT_UNLOCKFUNC, unlock);
            lib.share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
            lib.share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
            lib.share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
        return s;  // never cleaned up: requests may still run on other threads as the process ends
    }();
    return made;
}

}  // namespace

const Api& api() {
    static const Api loaded = [] {
        static const OptionalLibrary library("libcurl.so.4");
        Api a;
        bool all = library.resolve(a.global_init, "curl_global_init");
        all &= library.resolve(a.share_init, "curl_share_init");
        all &= library.resolve(a.share_setopt, "curl_share_setopt");
        all &= library.resolve(a.easy_init, "curl_easy_init");
        all &= library.resolve(a.easy_setopt, "curl_easy_setopt");
        all &= library.resolve(a.easy_perform, "curl_easy_perform");
        all &= library.resolve(a.easy_getinfo, "curl_easy_getinfo");
        all &= library.resolve(a.easy_cleanup, "curl_easy_cleanup");
        all &= library.resolve(a.easy_strerror, "curl_easy_strerror");
        all &= library.resolve(a.slist_append, "curl_slist_append");
        all &= library.resolve(a.slist_free_all, "curl_slist_free_all");
        if (!all) qCWarning(lcBrelvo) << "no libcurl: nothing can be sent to the service";
        a.usable = all && a.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        return a;
    }();
    return loaded;
}

Handle newHandle() {
    const Api& lib = api();
    if (!lib.usable) return Handle();
    const Shared& s = shared();
    Handle handle(lib.easy_init());
    if (!handle) return handle;
    CURL* curl = handle.get();
    if (s.share) lib.easy_setopt(curl, CURLOPT_SHARE, s.share);
    lib.easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    lib.easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!s.caBundle.isEmpty()) lib.easy_setopt(curl, CURLOPT_CAINFO, s.caBundle.constData());
    lib.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    return handle;
}

}  // namespace brelvo::curl
