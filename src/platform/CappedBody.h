#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>

namespace brelvo {

// An HTTP answer collected by curl up to a size limit, so that a wrong or
// hostile server cannot make us hold an unbounded body in memory.
//
// Give collectCappedBody as CURLOPT_WRITEFUNCTION and the CappedBody as
// CURLOPT_WRITEDATA. A chunk that would pass the limit is refused, which makes
// curl stop with a write error; tooLarge then tells that this is why.
struct CappedBody {
    explicit CappedBody(qint64 limitBytes) : limit(limitBytes) {}

    const qint64 limit;
    QByteArray bytes;
    bool tooLarge = false;
};

std::size_t collectCappedBody(char* data, std::size_t size, std::size_t count, void* cappedBody);

}  // namespace brelvo
