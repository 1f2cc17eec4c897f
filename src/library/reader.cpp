// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Reader: parse takes a file through the stages (lines, syntax, batch) into
// the store; the lookups read the store.
#include <plinto/yaml.h>

#include "batch.h"
#include "lines.h"
#include "numbers.h"
#include "syntax.h"

namespace plinto {
namespace yaml {

bool Reader::parse(const QString &fileName)
{
    detail::EntryBatch batch;
    detail::EntryLine entry;
    const bool read = detail::readFileLines(fileName, [&batch, &entry](detail::Bytes line) {
        if (detail::readEntry(line, entry))
            batch.add(entry);
    });
    if (!read)
        return false; // the store stays as it was
    batch.mergeInto(entries);
    return true;
}

QStringList Reader::keys() const
{
    return entries.keys();
}

QStringList Reader::listEntryForKey(const QString &key) const
{
    return entries.value(key);
}

// The lookups below search the map themselves rather than copy the key's
// list through listEntryForKey: same results, without touching the list's
// reference count.

QString Reader::entryForKey(const QString &key) const
{
    const auto found = entries.constFind(key);
    return found == entries.cend() || found->isEmpty() ? QString() : found->first();
}

EntryType Reader::entryTypeForKey(const QString &key) const
{
    const auto found = entries.constFind(key);
    return found != entries.cend() && found->size() > 1 ? ListEntry : SingleEntry;
}

double Reader::realEntryForKey(const QString &key) const
{
    const auto found = entries.constFind(key);
    return found == entries.cend() || found->isEmpty() ? 0.0 : detail::toReal(found->first());
}

QVector<double> Reader::realVectorEntryForKey(const QString &key) const
{
    QVector<double> values;
    const auto found = entries.constFind(key);
    if (found == entries.cend())
        return values;
    values.reserve(found->size());
    for (const QString &item : *found)
        values.append(detail::toReal(item));
    return values;
}

double Reader::realFromText(const QString &text)
{
    return detail::toReal(text);
}

} // namespace yaml
} // namespace plinto
