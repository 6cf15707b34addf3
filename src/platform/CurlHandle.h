#pragma once

#include <curl/curl.h>

#include <memory>

namespace brelvo::curl {

struct HandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using Handle = std::unique_ptr<CURL, HandleDeleter>;

// A libcurl handle for one request, set up as every request of the library
// wants it: peer and host verified, time-outs without signals (requests run
// on many threads), and the process-wide cache of open connections, TLS
// sessions and resolved names, so that a request to a service reuses the
// connection an earlier one left open instead of a new TCP and TLS handshake.
// BRELVO_CA_BUNDLE names a file of certificates to trust instead of the
// system's, for a service whose certificate a private authority signed.
// Null when libcurl cannot make a handle.
Handle newHandle();

}  // namespace brelvo::curl
