#include "yaml.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace plinto {
namespace yaml {

namespace {

// Bytes are Latin-1 characters throughout, so the parser works on bytes and
// only the stored keys and items become QStrings.
using Bytes = std::string_view;

// Tab, line feed, vertical tab, form feed, carriage return and space. Bytes
// above 127 are never white space: 0xA0 and 0x85 end many UTF-8 characters.
inline bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

Bytes trimmed(Bytes s)
{
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && isAsciiSpace(s[begin]))
        ++begin;
    while (end > begin && isAsciiSpace(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// Splits a line's text at every ':' with empty pieces dropped; true when
// exactly two remain. The line feed that ended the text, if any, is a piece of
// its own after a final colon (and part of the last piece otherwise, where
// trimming removes it).
bool splitKeyValue(Bytes text, bool lineFeed, Bytes &key, Bytes &value)
{
    Bytes pieces[2];
    int count = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t colon = text.find(':', pos);
        if (colon == Bytes::npos)
            colon = text.size();
        if (colon > pos) {
            if (count == 2)
                return false;
            pieces[count++] = text.substr(pos, colon - pos);
        }
        pos = colon + 1;
    }
    if (lineFeed && (text.empty() || text.back() == ':')) {
        if (count == 2)
            return false;
        pieces[count++] = Bytes();
    }
    if (count != 2)
        return false;
    key = pieces[0];
    value = pieces[1];
    return true;
}

// One entry as read, before the batch is ordered. The key's bytes live in the
// batch's key arena.
struct PendingEntry
{
    size_t keyOffset;
    size_t keySize;
    QStringList items;
};

// The entries of one file, collected in file order and then stored in one
// ordered pass.
class EntryBatch
{
public:
    // Takes one line: its bytes up to and including the line feed, if any.
    void addLine(Bytes line)
    {
        bool lineFeed = !line.empty() && line.back() == '\n';
        if (lineFeed) {
            line.remove_suffix(1);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
        }
        const size_t nul = line.find('\0');
        if (nul != Bytes::npos) {
            line = line.substr(0, nul);
            lineFeed = false;
        }
        Bytes key;
        Bytes value;
        if (!splitKeyValue(line, lineFeed, key, value))
            return;
        key = trimmed(key);
        PendingEntry entry{m_keys.size(), key.size(), itemsOf(trimmed(value))};
        m_keys.append(key.data(), key.size());
        m_entries.push_back(std::move(entry));
    }

    // Stores the batch in the map; for a key on several lines, its last line wins.
    void mergeInto(QMap<QString, QStringList> &entries)
    {
        const std::vector<size_t> order = sortedOrder();
        QMap<QString, QStringList> fresh;
        const bool intoFresh = entries.isEmpty();
        for (size_t i = 0; i < order.size(); ++i) {
            const PendingEntry &entry = m_entries[order[i]];
            const Bytes key = keyOf(entry);
            if (i + 1 < order.size() && keyOf(m_entries[order[i + 1]]) == key)
                continue; // a later line has the same key
            const QString keyText = QString::fromLatin1(key.data(), qsizetype(key.size()));
            if (intoFresh)
                fresh.insert(fresh.cend(), keyText, entry.items); // in order: no search
            else
                entries.insert(keyText, entry.items);
        }
        if (intoFresh)
            entries = std::move(fresh);
    }

private:
    Bytes keyOf(const PendingEntry &entry) const
    {
        return Bytes(m_keys).substr(entry.keyOffset, entry.keySize);
    }

    // The items of a trimmed value: a bracketed list, or the value alone.
    QStringList itemsOf(Bytes value)
    {
        QStringList items;
        if (value.size() < 2 || value.front() != '[' || value.back() != ']') {
            items.append(itemText(value));
            return items;
        }
        m_list.clear();
        for (char c : value) {
            if (c != '[' && c != ']')
                m_list += c;
        }
        m_pieces.clear();
        const Bytes list(m_list);
        for (size_t pos = 0; pos < list.size();) {
            size_t comma = list.find(',', pos);
            if (comma == Bytes::npos)
                comma = list.size();
            if (comma > pos)
                m_pieces.push_back(list.substr(pos, comma - pos));
            pos = comma + 1;
        }
        items.reserve(qsizetype(m_pieces.size()));
        for (const Bytes piece : m_pieces)
            items.append(itemText(piece));
        return items;
    }

    // Trims an item, then drops every double quote.
    QString itemText(Bytes item)
    {
        item = trimmed(item);
        if (item.find('"') == Bytes::npos)
            return QString::fromLatin1(item.data(), qsizetype(item.size()));
        m_unquoted.clear();
        for (char c : item) {
            if (c != '"')
                m_unquoted += c;
        }
        return QString::fromLatin1(m_unquoted.data(), qsizetype(m_unquoted.size()));
    }

    // Indexes of m_entries ordered by key bytes (Latin-1 order is QString
    // order), a key's lines in file order. Most comparisons look only at the
    // eight bytes after the prefix that all keys share.
    std::vector<size_t> sortedOrder() const
    {
        size_t common = m_entries.empty() ? 0 : m_entries.front().keySize;
        const Bytes first = m_entries.empty() ? Bytes() : keyOf(m_entries.front());
        for (const PendingEntry &entry : m_entries) {
            const Bytes key = keyOf(entry).substr(0, common);
            common = size_t(std::mismatch(key.begin(), key.end(), first.begin()).first - key.begin());
        }
        struct Rank
        {
            quint64 head; // big-endian bytes after the common prefix, zero-padded
            size_t index;
        };
        std::vector<Rank> ranks(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const Bytes rest = keyOf(m_entries[i]).substr(common);
            quint64 head = 0;
            for (size_t b = 0; b < 8; ++b)
                head = (head << 8) | (b < rest.size() ? quint8(rest[b]) : 0);
            ranks[i] = {head, i};
        }
        std::sort(ranks.begin(), ranks.end(), [this](const Rank &a, const Rank &b) {
            if (a.head != b.head)
                return a.head < b.head;
            const int order = keyOf(m_entries[a.index]).compare(keyOf(m_entries[b.index]));
            return order != 0 ? order < 0 : a.index < b.index;
        });
        std::vector<size_t> order(ranks.size());
        for (size_t i = 0; i < ranks.size(); ++i)
            order[i] = ranks[i].index;
        return order;
    }

    std::string m_keys;
    std::vector<PendingEntry> m_entries;
    std::string m_list;
    std::vector<Bytes> m_pieces;
    std::string m_unquoted;
};

// Reads the whole device, line by line, until a read returns no more data,
// and hands each line (line feed included) to the batch. A NUL byte ends a
// line's text, so the rest of such a line is dropped as it arrives: a stream
// of NULs takes no memory. False on a read error.
bool readLines(QFile &file, EntryBatch &batch)
{
    constexpr size_t chunk = size_t(1) << 20;
    std::vector<char> buffer(chunk);
    size_t start = 0;  // first byte of the line being read
    size_t filled = 0; // bytes held in the buffer
    bool cut = false;  // the line being read holds a NUL: drop the rest up to its line feed
    bool firstLine = true;

    const auto takeLine = [&](size_t end) {
        Bytes line(buffer.data() + start, end - start);
        if (firstLine) {
            firstLine = false;
            if (line.size() >= 3 && std::memcmp(line.data(), "\xEF\xBB\xBF", 3) == 0)
                line.remove_prefix(3);
        }
        batch.addLine(line);
    };
    const auto find = [&buffer](char c, size_t from, size_t to) -> size_t {
        const void *hit = std::memchr(buffer.data() + from, c, to - from);
        return hit ? size_t(static_cast<const char *>(hit) - buffer.data()) : to;
    };

    for (;;) {
        // Make room: move the line being read to the front, or grow for a long line.
        if (start > 0 && buffer.size() - filled < chunk / 2) {
            std::memmove(buffer.data(), buffer.data() + start, filled - start);
            filled -= start;
            start = 0;
        }
        if (buffer.size() - filled < chunk / 2)
            buffer.resize(buffer.size() * 2);

        const qint64 got = file.read(buffer.data() + filled, qint64(buffer.size() - filled));
        if (got < 0)
            return false;
        if (got == 0)
            break;

        size_t scan = filled;
        filled += size_t(got);
        if (cut) {
            const size_t lf = find('\n', scan, filled);
            if (lf == filled) {
                filled = scan;
                continue;
            }
            takeLine(scan);
            start = lf + 1;
            scan = start;
            cut = false;
        }
        for (size_t lf; (lf = find('\n', scan, filled)) < filled;) {
            takeLine(lf + 1);
            start = scan = lf + 1;
        }
        const size_t nul = find('\0', scan, filled);
        if (nul < filled) {
            filled = nul + 1;
            cut = true;
        }
    }
    if (filled > start)
        takeLine(filled);
    return true;
}

// Plain decimal text ("-12.5e3"), short enough for one conversion: converted
// with from_chars, which rounds exactly as QString::toDouble does. Anything
// else, and any result out of range, is left to QString::toDouble.
bool plainDecimal(const QString &text, double &value)
{
    constexpr qsizetype maxLength = 64;
    const qsizetype length = text.size();
    if (length == 0 || length > maxLength)
        return false;
    char ascii[maxLength];
    const QChar *chars = text.constData();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = chars[i].unicode();
        if (c > 0x7f)
            return false;
        ascii[i] = char(c);
    }
    const char *p = ascii;
    const char *end = ascii + length;
    const auto digits = [&p, end] {
        const char *from = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        return p > from;
    };
    if (*p == '-')
        ++p;
    if (!digits())
        return false;
    if (p < end && *p == '.') {
        ++p;
        if (!digits())
            return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        if (!digits())
            return false;
    }
    if (p != end)
        return false;
    const auto result = std::from_chars(ascii, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value)
            && (value == 0 || std::fabs(value) >= std::numeric_limits<double>::min());
}

double toReal(const QString &text)
{
    double value = 0;
    if (plainDecimal(text, value))
        return value;
    bool ok = false;
    value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace

bool Reader::parse(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    EntryBatch batch;
    if (!readLines(file, batch))
        return false;
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

QString Reader::entryForKey(const QString &key) const
{
    const QStringList items = listEntryForKey(key);
    return items.isEmpty() ? QString() : items.first();
}

EntryType Reader::entryTypeForKey(const QString &key) const
{
    return listEntryForKey(key).size() > 1 ? ListEntry : SingleEntry;
}

double Reader::realEntryForKey(const QString &key) const
{
    return toReal(entryForKey(key));
}

QVector<double> Reader::realVectorEntryForKey(const QString &key) const
{
    const QStringList items = listEntryForKey(key);
    QVector<double> values;
    values.reserve(items.size());
    for (const QString &item : items)
        values.append(toReal(item));
    return values;
}

} // namespace yaml
} // namespace plinto
