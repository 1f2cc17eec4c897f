// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Reader: parse takes a file through the stages (lines, syntax, batch, and
// findings when asked) into the store; the lookups read the store.
#include <plinto/yaml.h>

#include "batch.h"
#include "findings.h"
#include "lines.h"
#include "numbers.h"
#include "syntax.h"

#include <QIODevice>

namespace plinto {
namespace yaml {

namespace {

using ReadLines = std::function<bool(const std::function<void(detail::Bytes line)> &onLine)>;

bool parseLines(QMap<QString, QStringList> &entries, const ReadLines &readLines)
{
    detail::EntryBatch batch;
    detail::EntryLine entry;
    const bool read = readLines([&batch, &entry](detail::Bytes line) {
        if (detail::readEntry(line, entry))
            batch.add(entry);
    });
    if (!read)
        return false; // the store stays as it was
    batch.mergeInto(entries);
    return true;
}

bool parseLines(QMap<QString, QStringList> &entries, const ReadLines &readLines, QList<Finding> &findings)
{
    findings.clear();
    detail::EntryBatch batch;
    detail::EntryLine entry;
    detail::FindingCollector collector;
    const bool read = readLines([&batch, &entry, &collector](detail::Bytes line) {
        const bool isEntry = detail::readEntry(line, entry);
        collector.line(line, isEntry ? &entry : nullptr);
        if (isEntry)
            batch.add(entry);
    });
    if (!read)
        return false;
    batch.mergeInto(entries, [&collector](size_t overridden, const QString &key, size_t winner) {
        collector.overridden(overridden, key, winner);
    });
    findings = collector.take();
    return true;
}

ReadLines fromFile(const QString &fileName)
{
    return [&fileName](const std::function<void(detail::Bytes)> &onLine) {
        return detail::readFileLines(fileName, onLine);
    };
}

ReadLines fromDevice(QIODevice *device)
{
    return [device](const std::function<void(detail::Bytes)> &onLine) {
        return device && detail::readDeviceLines(*device, onLine);
    };
}

} // namespace

bool Reader::parse(const QString &fileName)
{
    return parseLines(entries, fromFile(fileName));
}

bool Reader::parse(QIODevice *device)
{
    return parseLines(entries, fromDevice(device));
}

bool Reader::parse(const QString &fileName, QList<Finding> &findings)
{
    return parseLines(entries, fromFile(fileName), findings);
}

bool Reader::parse(QIODevice *device, QList<Finding> &findings)
{
    return parseLines(entries, fromDevice(device), findings);
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
    bool value = fallback;
    return item && detail::readYesOrNo(*item, value) ? value : fallback;
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
