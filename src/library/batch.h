// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Pending entries: the entries of one file, kept as they are read, then
// ordered by key and stored in one pass, the last line of a key winning.
#ifndef PLINTO_YAML_BATCH_H
#define PLINTO_YAML_BATCH_H

#include "syntax.h"

#include <QMap>
#include <QStringList>

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

    // Stores the batch in the map, replacing the items of keys it holds; for
    // a key on several lines, the last line wins.
    void mergeInto(QMap<QString, QStringList> &entries);

private:
    class Pending;
    std::unique_ptr<Pending> d;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_BATCH_H
