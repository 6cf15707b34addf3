#pragma once

#include <QByteArray>

namespace brelvo::plist::binary {

// Checks of the binary property-list layout made before libplist reads the
// bytes: libplist trusts much of what a file says and aborts the process on
// some damage, while a stored value must never take the process down.

// True when libplist can read the bytes safely and whole: the trailer, the
// offset table and every object lie in range, every reference names an
// object, no container is reached twice (so no loop and no blow-up), nesting
// stays within 512 levels, dictionary keys are strings without U+0000, and no
// one-byte string holds a NUL (libplist would cut it there).
bool isSound(const QByteArray& bytes);

// The binary property list of one data object holding the bytes, the same
// bytes libplist writes, made in a single pass: a large value (a screenshot,
// a log batch) is not copied three times on its way to the store.
QByteArray ofData(const QByteArray& data);

// In every UTF-16 string of a binary property list, turns each code unit
// standIn into U+0000.
void restoreNuls(QByteArray& bytes, char16_t standIn);

}  // namespace brelvo::plist::binary
