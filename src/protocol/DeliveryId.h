#pragma once

#include <QString>

namespace brelvo::delivery {

// Every report that may be sent more than once (crash reports, log batches,
// issues) carries an identifier made when it is first stored and kept with it
// wherever it waits. It travels in a request header, outside the body, so the
// bodies stay exactly as they are; the service keeps one report per
// identifier, so a resend after an answer that never arrived stores nothing
// twice.

// The request header.
inline constexpr const char* kHeader = "Brelvo-Delivery-Id";
// The member of a stored queue entry that holds it.
inline const QString kEntryKey = QStringLiteral("delivery_id");
// Raw bytes of one identifier.
inline constexpr int kBytes = 16;

// 128 random bits as 32 lowercase hexadecimal digits. Not for signal handlers.
QString newId();
// The same as kBytes raw bytes, for a place prepared before any signal.
void newRawId(char* raw);
// The identifier of kBytes raw bytes; a null QString when they are all zero
// (a slot that never had one).
QString fromBytes(const char* raw);
// Whether the text is an identifier this library makes.
bool isId(const QString& text);

}  // namespace brelvo::delivery
