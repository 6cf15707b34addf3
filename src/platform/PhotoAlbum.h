#pragma once

#include <QImage>
#include <QString>

namespace brelvo::photoAlbum {

// The desktop's photo album: the user's Pictures folder
// (QStandardPaths::PicturesLocation, created when missing).
QString folder();

// Writes the image into the album as a PNG file under a new name
// ("brelvo-screenshot-<date>-<time>.png", numbered when taken), in one step so
// that nobody sees half a file. Returns the file's path, or a null string
// (logged) when it could not be written. Any thread; encoding a screenshot
// takes a moment, so callers keep it off the GUI thread.
QString save(const QImage& image);

}  // namespace brelvo::photoAlbum
