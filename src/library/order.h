// Key order: the lines of a batch sorted by their keys' bytes.
#ifndef PLINTO_YAML_ORDER_H
#define PLINTO_YAML_ORDER_H

#include "lines.h"

#include <functional>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

struct KeyRank
{
    quint64 head; // big-endian key bytes, where the ordering looked
    size_t index;
};

// The indices 0 to count - 1, ordered by the bytes of keyAt(index) (for
// Latin-1 text, the order of QString), the lines of one key in index order.
std::vector<KeyRank> orderByKey(size_t count, const std::function<Bytes(size_t)> &keyAt);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_ORDER_H
