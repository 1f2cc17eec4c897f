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

    // The same, with the number of the entry's line, for overridden().
    void add(const EntryLine &entry, quint64 line);

    // Called for each entry that a later line of its key overrides: its line,
    // its key, and the key's last line.
    using OnOverridden = std::function<void(quint64 line, const QString &key, quint64 winningLine)>;

    // Stores the batch in the map, replacing the items of keys it holds; for
    // a key on several lines, the last line wins (and the others go to
    // onOverridden, when the batch has their lines).
    void mergeInto(QMap<QString, QStringList> &entries, const OnOverridden &onOverridden = {});

private:
    class Pending;
    std::unique_ptr<Pending> d;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_BATCH_H
