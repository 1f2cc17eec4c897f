// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What a report names: the keys whose items differ between two stores, found
// from the lines that differ between two versions of a file.
#ifndef PLINTO_YAML_CHANGES_H
#define PLINTO_YAML_CHANGES_H

#include <plinto/yaml.h>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace plinto {
namespace yaml {
namespace detail {

// The keys whose items changed, appeared or went from before to after, in
// key order; empty when the two stores hold the same.
QStringList changedKeys(const QMap<QString, QStringList> &before, const QMap<QString, QStringList> &after);

// The same between two versions of a file: now, which holds what old holds
// (the store of the old bytes), is made the store of the new bytes, in place:
// only the keys of lines that differ can have other items, so only those are
// read anew and replaced (the whole file, where its first line or most of it
// differs). Where now shares its data with old, the first change copies it.
QStringList changedKeys(const QByteArray &oldBytes, const Reader &old, const QByteArray &newBytes, Reader &now);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_CHANGES_H
