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

// The key's first item in the store; nullptr for a missing key or no item.
static const QString *firstItem(const QMap<QString, QStringList> &entries, const QString &key)
{
    const auto found = entries.constFind(key);
    return found == entries.cend() || found->isEmpty() ? nullptr : &found->first();
}

QString Reader::entryForKey(const QString &key) const
{
    return entryForKey(key, QString());
}

QString Reader::entryForKey(const QString &key, const QString &fallback) const
{
    const QString *item = firstItem(entries, key);
    return item ? *item : fallback;
}

EntryType Reader::entryTypeForKey(const QString &key) const
{
    const auto found = entries.constFind(key);
    return found != entries.cend() && found->size() > 1 ? ListEntry : SingleEntry;
}

double Reader::realEntryForKey(const QString &key) const
{
    return realEntryForKey(key, 0.0);
}

double Reader::realEntryForKey(const QString &key, double fallback) const
{
    const QString *item = firstItem(entries, key);
    double value = fallback;
    return item && detail::readReal(*item, value) ? value : fallback;
}

qint64 Reader::integerEntryForKey(const QString &key, qint64 fallback) const
{
    const QString *item = firstItem(entries, key);
    qint64 value = fallback;
    return item && detail::readInteger(*item, value) ? value : fallback;
}

bool Reader::boolEntryForKey(const QString &key, bool fallback) const
{
    const QString *item = firstItem(entries, key);
    if (!item)
        return fallback;
    for (const char *yes : {"true", "True", "TRUE"}) {
        if (*item == QLatin1String(yes))
            return true;
    }
    for (const char *no : {"false", "False", "FALSE"}) {
        if (*item == QLatin1String(no))
            return false;
    }
    return fallback;
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
