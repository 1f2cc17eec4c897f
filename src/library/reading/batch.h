// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Pending entries: the entries of one file, kept as they are read, then
// ordered by key and stored in one pass, the last line of a key winning.
#ifndef PLINTO_YAML_BATCH_H
#define PLINTO_YAML_BATCH_H

#include "syntax.h"

#include <QMap>
#include <QStringList>

#include <functional>
#include <memory>

namespace plinto {
namespace yaml {
namespace detail {

class EntryBatch
{
public:
    EntryBatch();
    ~EntryBatch();

    // Keeps a copy of the entry.
    void add(const EntryLine &entry);

    // The entries kept so far.
    size_t size() const;

    // Called for each entry that a later line of its key overrides, with the
    // entries counted from 0 in the order they were added: this one, its key,
    // and the last of the key's.
    using OnOverridden = std::function<void(size_t entry, const QString &key, size_t winner)>;

    // Called for each key stored, in key order, with the entry whose items it
    // holds.
    using OnStored = std::function<void(const QString &key, size_t winner)>;

    // Stores the batch in the map, replacing the items of keys it holds; for
    // a key on several lines, the last line wins (and the others go to
    // onOverridden, if given).
    void mergeInto(QMap<QString, QStringList> &entries, const OnOverridden &onOverridden = {},
                   const OnStored &onStored = {});

    // Calls onOverridden for each entry from first to end (not included) that
    // a later one of them, of the same key, overrides: the overrides within
    // one file of several kept in the batch.
    void overriddenWithin(size_t first, size_t end, const OnOverridden &onOverridden);

private:
    class Pending;
    std::unique_ptr<Pending> d;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_BATCH_H
