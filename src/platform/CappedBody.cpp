#include "platform/CappedBody.h"

namespace brelvo {

std::size_t collectCappedBody(char* data, std::size_t size, std::size_t count, void* cappedBody) {
    auto* body = static_cast<CappedBody*>(cappedBody);
    const std::size_t n = size * count;
    if (body->bytes.size() + static_cast<qint64>(n) > body->limit) {
        body->tooLarge = true;
        return 0;  // makes curl stop with a write error
    }
    body->bytes.append(data, static_cast<qsizetype>(n));
    return n;
}

}  // namespace brelvo
