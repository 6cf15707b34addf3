#pragma once

#include <QUrl>

#include <functional>

namespace brelvo::urls {

// Whether the desktop can open the address: web, mail and file addresses
// always; any other scheme only when a handler for it is installed
// (x-scheme-handler/<scheme> in the desktop's MIME associations).
bool canOpenURL(const QUrl& url);

// Hands the address to the desktop (or to the test opener). False when it
// could not be handed over.
bool openURL(const QUrl& url);

// Tests replace the desktop with a function that records the address; an
// empty function restores the desktop. With an opener set, canOpenURL asks
// the scheme check given here instead of the desktop (all schemes when none).
void setOpenerForTesting(std::function<bool(const QUrl&)> opener,
                         std::function<bool(const QString& scheme)> canOpenScheme = {});

}  // namespace brelvo::urls
