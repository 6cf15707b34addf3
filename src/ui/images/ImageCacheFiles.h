#pragma once

#include <QImage>
#include <QString>

namespace brelvo::imagecache {

// The longest file name (without ".png") a cached picture gets; longer names
// keep their head and end in a hash of the whole name.
constexpr int kMaxNameBytes = 200;

// The cache file's name for a picture's URL: every "http://" removed, every
// "/" and "." replaced by "_" (so "https://a/b.png" gives "https:__a_b_png").
// Any other character outside [A-Za-z0-9_:-] is written as %XX of its UTF-8
// bytes, so that distinct URLs keep distinct names and no name can leave the
// caches folder or hold a NUL or a path separator.
QString fileNameForURL(const QString& url);

// <caches folder>/<name>.png
QString filePathForURL(const QString& url);

// Writes the bytes to the path atomically (a whole new file or none); false,
// logged, when that fails.
bool writeAtomically(const QString& path, const QByteArray& bytes);

}  // namespace brelvo::imagecache
