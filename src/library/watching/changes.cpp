// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The keys that differ: both stores walked side by side in key order, once.
#include "changes.h"

namespace plinto {
namespace yaml {
namespace detail {

QStringList changedKeys(const QMap<QString, QStringList> &before, const QMap<QString, QStringList> &after)
{
    QStringList keys;
    auto old = before.cbegin();
    auto now = after.cbegin();
    while (old != before.cend() || now != after.cend()) {
        if (now == after.cend() || (old != before.cend() && old.key() < now.key())) {
            keys.append(old.key()); // went
            ++old;
        } else if (old == before.cend() || now.key() < old.key()) {
            keys.append(now.key()); // appeared
            ++now;
        } else {
            if (old.value() != now.value())
                keys.append(now.key());
            ++old;
            ++now;
        }
    }
    return keys;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
