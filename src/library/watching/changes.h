// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What a report names: the keys whose items differ between two stores.
#ifndef PLINTO_YAML_CHANGES_H
#define PLINTO_YAML_CHANGES_H

#include <QMap>
#include <QString>
#include <QStringList>

namespace plinto {
namespace yaml {
namespace detail {

// The keys whose items changed, appeared or went from before to after, in
// key order; empty when the two stores hold the same.
QStringList changedKeys(const QMap<QString, QStringList> &before, const QMap<QString, QStringList> &after);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_CHANGES_H
