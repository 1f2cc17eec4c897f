// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The keys that differ. Between two stores: both walked side by side in key
// order, once. Between two versions of a file: the bytes they share at the
// start and at the end are passed over, the keys of the lines between are
// the ones that may differ, and each of those is looked up in the new bytes,
// where its last entry line holds its items, as the reader would.
#include "changes.h"

#include "reading/keylines.h"
#include "reading/texts.h"

#include <QBuffer>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// How many bytes the two share at their start.
size_t sharedStart(Bytes a, Bytes b)
{
    const size_t most = std::min(a.size(), b.size());
    size_t at = 0;
    for (constexpr size_t block = 256; at + block <= most && std::memcmp(a.data() + at, b.data() + at, block) == 0;)
        at += block;
    while (at < most && a[at] == b[at])
        ++at;
    return at;
}

// How many bytes the two share at their end, at most most.
size_t sharedEnd(Bytes a, Bytes b, size_t most)
{
    size_t at = 0;
    for (constexpr size_t block = 256; at + block <= most
         && std::memcmp(a.data() + a.size() - at - block, b.data() + b.size() - at - block, block) == 0;)
        at += block;
    while (at < most && a[a.size() - at - 1] == b[b.size() - at - 1])
        ++at;
    return at;
}

// How far the line that goes on at q goes: 0 where q starts a line, else the
// bytes to its end, line feed included.
size_t restOfLine(Bytes bytes, size_t q)
{
    if (q > 0 && bytes[q - 1] == '\n')
        return 0;
    const size_t lineFeed = bytes.find('\n', q);
    return (lineFeed == Bytes::npos ? bytes.size() : lineFeed + 1) - q;
}

// The keys of the entry lines of [start, end).
void keysOfLines(Bytes bytes, size_t start, size_t end, std::set<std::string> &keys)
{
    EntryLine entry;
    while (start < end) {
        const size_t lineFeed = bytes.find('\n', start);
        const size_t lineEnd = lineFeed == Bytes::npos || lineFeed >= end ? end : lineFeed + 1;
        if (readEntry(bytes.substr(start, lineEnd - start), entry))
            keys.emplace(entry.key);
        start = lineEnd;
    }
}

// The items of one entry line, as the reader reads them there.
QStringList itemsOf(Bytes line)
{
    EntryLine entry;
    if (!readEntry(line, entry))
        return QStringList();
    return TextBlocks().texts(entry.items);
}

} // namespace

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

QStringList changedKeys(const QByteArray &oldBytes, const Reader &old, const QByteArray &newBytes, Reader &now)
{
    // The bodies, after a byte-order mark: where one has it and the other not,
    // the first line reads otherwise, and the file is read whole.
    const FileBody before = fileBody(Bytes(oldBytes.constData(), size_t(oldBytes.size())));
    const FileBody after = fileBody(Bytes(newBytes.constData(), size_t(newBytes.size())));
    const Bytes a = before.body;
    const Bytes b = after.body;
    if (oldBytes == newBytes)
        return QStringList();
    const size_t start = sharedStart(a, b);
    const size_t end = sharedEnd(a, b, std::min(a.size(), b.size()) - start);
    const void *lineFeed = memrchr(a.data(), '\n', start);
    const size_t linesStart = lineFeed ? size_t(static_cast<const char *>(lineFeed) - a.data()) + 1 : 0;
    if (before.byteOrderMark.size() != after.byteOrderMark.size() || b.size() - end - linesStart > b.size() / 4) {
        // The first line reads otherwise, or most of the file differs: read whole.
        QByteArray bytes = newBytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        now = Reader();
        now.parse(&buffer);
        return changedKeys(old.entries, now.entries);
    }
    // The lines that differ: from the start of the line where the bytes part,
    // to the end of the line where they meet again, on the side where that
    // line goes on further (the bytes after that are shared, and so are the
    // lines they make).
    const size_t further = std::max(restOfLine(a, a.size() - end), restOfLine(b, b.size() - end));
    std::set<std::string> candidates; // in byte order, which is the keys' order
    keysOfLines(a, linesStart, a.size() - end + further, candidates);
    keysOfLines(b, linesStart, b.size() - end + further, candidates);
    if (candidates.empty())
        return QStringList();

    // Each key's last entry line in the new bytes.
    const std::vector<Bytes> keys(candidates.begin(), candidates.end());
    std::map<Bytes, LineSpan> last;
    findEntryLines(b, keys, [&last](Bytes key, LineSpan line) { last[key] = line; });
    QStringList changed;
    for (const Bytes key : keys) {
        const QString text = QString::fromLatin1(key.data(), decltype(QString().size())(key.size()));
        const auto line = last.find(key);
        const auto held = old.entries.constFind(text);
        if (line == last.end()) {
            if (held != old.entries.cend()) {
                now.entries.remove(text);
                changed.append(text);
            }
            continue;
        }
        const QStringList items = itemsOf(b.substr(line->second.start, line->second.end - line->second.start));
        if (held == old.entries.cend() || *held != items) {
            now.entries.insert(text, items);
            changed.append(text);
        }
    }
    return changed;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
