#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace brelvo::fuzz {

// Once per process, before the first input: a private BRELVO_HOME (removed at
// exit), a QCoreApplication, and Qt's messages below fatal silenced, since the
// code under test logs a line about nearly every bad input. Returns the home.
const QString& prepare();

// The input as bytes (no copy: valid during the call only).
inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A property that must hold for every input: aborts with the message when it
// does not, so that the fuzzer keeps the input as a finding.
void require(bool holds, const char* what);

// Replaces the file's contents (creating its folder).
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace brelvo::fuzz
