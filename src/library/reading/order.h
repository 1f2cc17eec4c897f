// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Key order: the lines of a batch sorted by their keys.
#ifndef PLINTO_YAML_ORDER_H
#define PLINTO_YAML_ORDER_H

#include <QtGlobal>

#include <functional>
#include <string_view>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// A key's characters: Latin-1 text held as UTF-16.
using KeyText = std::u16string_view;

struct KeyRank
{
    quint64 head; // big-endian key characters, a byte each, where the ordering looked
    size_t index;
};

// The indices 0 to count - 1, ordered by the characters of keyAt(index)
// (the order of QString), the lines of one key in index order.
std::vector<KeyRank> orderByKey(size_t count, const std::function<KeyText(size_t)> &keyAt);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_ORDER_H
