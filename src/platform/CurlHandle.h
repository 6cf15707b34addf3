#pragma once

#include <curl/curl.h>

#include <memory>

namespace brelvo::curl {

// libcurl's calls the library makes. libcurl and the two dozen libraries it
// pulls in (TLS, Kerberos, LDAP, SSH, ...) are loaded at the first request
// rather than when the host starts: loading them was a large part of what
// linking the library cost a host's start.
struct Api {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_share_init) share_init = nullptr;
    decltype(&curl_share_setopt) share_setopt = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
    bool usable = false;  // false when libcurl or one of its calls is missing (logged)
};

// Loads libcurl and sets it up for the process, once, on whichever thread
// asks first.
const Api& api();

struct HandleDeleter {
    void operator()(CURL* handle) const { api().easy_cleanup(handle); }
};
using Handle = std::unique_ptr<CURL, HandleDeleter>;

// A libcurl handle for one request, set up as every request of the library
// wants it: peer and host verified, time-outs without signals (requests run
// on many threads), and the process-wide cache of open connections, TLS
// sessions and resolved names, so that a request to a service reuses the
// connection an earlier one left open instead of a new TCP and TLS handshake.
// BRELVO_CA_BUNDLE names a file of certificates to trust instead of the
// system's, for a service whose certificate a private authority signed.
// Null when libcurl is missing or cannot make a handle.
Handle newHandle();

}  // namespace brelvo::curl
