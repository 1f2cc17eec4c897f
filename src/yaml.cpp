#include "yaml.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plinto {
namespace yaml {

namespace {

// Bytes are Latin-1 characters throughout, so the parser works on bytes and
// only the stored keys and items become QStrings.
using Bytes = std::string_view;

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using TextSize = qsizetype;
constexpr size_t maxLineSize = std::numeric_limits<size_t>::max();
#else
using TextSize = int;
constexpr size_t maxLineSize = size_t(1) << 30; // Qt 5 strings hold no more
#endif

// The bytes as Latin-1 text; never a null string, even when empty.
QString latin1Text(Bytes bytes)
{
    if (bytes.empty())
        return QString(QLatin1String(""));
    return QString::fromLatin1(bytes.data(), TextSize(bytes.size()));
}

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

// Keeps copies of byte strings at stable addresses, in blocks that are never
// moved: no copying as it grows, and the copies lie in the order they came.
class ByteArena
{
public:
    Bytes keep(Bytes bytes)
    {
        if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < bytes.size()) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(std::max(m_blockSize, bytes.size()));
            m_blockSize = std::min(m_blockSize * 2, maxBlockSize);
        }
        std::string &block = m_blocks.back();
        const size_t at = block.size();
        block.append(bytes.data(), bytes.size()); // within capacity: the block stays put
        return Bytes(block.data() + at, bytes.size());
    }

private:
    static constexpr size_t maxBlockSize = size_t(1) << 20;
    size_t m_blockSize = 4096; // small files take small blocks
    std::vector<std::string> m_blocks;
};

// A store built from keys in ascending order: each goes at the end, with no
// search. On Qt 6 it is the std::map that a QMap holds, moved in when done.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using FreshStore = std::map<QString, QStringList>;
void appendInOrder(FreshStore &store, QString &&key, QStringList &&items)
{
    store.emplace_hint(store.end(), std::move(key), std::move(items));
}
#else
using FreshStore = QMap<QString, QStringList>;
void appendInOrder(FreshStore &store, QString &&key, QStringList &&items)
{
    store.insert(store.cend(), key, items);
}
#endif

// A sequence in blocks of fixed size that never move: appending copies
// nothing, and walking it in order reads memory in order. (A deque's small
// blocks lie scattered among the strings allocated meanwhile.)
template <typename T>
class BlockList
{
public:
    void push_back(T &&value)
    {
        if (m_size % blockSize == 0) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(blockSize);
        }
        m_blocks.back().push_back(std::move(value)); // within capacity: nothing moves
        ++m_size;
    }
    T &operator[](size_t i) { return m_blocks[i / blockSize][i % blockSize]; }
    const T &operator[](size_t i) const { return m_blocks[i / blockSize][i % blockSize]; }
    size_t size() const { return m_size; }

private:
    static constexpr size_t blockSize = 1024;
    std::vector<std::vector<T>> m_blocks;
    size_t m_size = 0;
};

// One entry as read, before the batch is ordered.
struct PendingEntry
{
    Bytes key; // in the batch's arena
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
        m_entries.push_back(PendingEntry{m_keys.keep(trimmed(key)), itemsOf(trimmed(value))});
    }

    // Stores the batch in the map; for a key on several lines, its last line wins.
    void mergeInto(QMap<QString, QStringList> &entries)
    {
        const std::vector<Rank> order = sortedOrder();
        FreshStore fresh;
        const bool intoFresh = entries.isEmpty();
        for (size_t i = 0; i < order.size(); ++i) {
            PendingEntry &entry = m_entries[order[i].index];
            if (i + 1 < order.size() && m_entries[order[i + 1].index].key == entry.key)
                continue; // a later line has the same key
            QString key = latin1Text(entry.key);
            if (intoFresh)
                appendInOrder(fresh, std::move(key), std::move(entry.items));
            else
                entries.insert(key, entry.items);
        }
        if (intoFresh)
            entries = QMap<QString, QStringList>(std::move(fresh));
    }

private:
    struct Rank
    {
        quint64 head; // big-endian bytes after the prefix all keys share, zero-padded
        size_t index;
    };

    // The entries ordered by key bytes (Latin-1 order is QString order), a
    // key's lines in file order: a radix sort on the eight bytes after the
    // prefix that all keys share, then a sort of each run of equal heads.
    std::vector<Rank> sortedOrder() const
    {
        const size_t entryCount = m_entries.size();
        const Bytes first = entryCount == 0 ? Bytes() : m_entries[0].key;
        size_t common = first.size();
        for (size_t i = 0; i < entryCount; ++i) {
            const Bytes key = m_entries[i].key.substr(0, common);
            common = size_t(std::mismatch(key.begin(), key.end(), first.begin()).first - key.begin());
        }
        std::vector<Rank> ranks;
        ranks.reserve(entryCount);
        for (size_t i = 0; i < entryCount; ++i)
            ranks.push_back({headAt(m_entries[i].key, common), i});

        if (ranks.size() < 2)
            return ranks;
        std::vector<Rank> spare(ranks.size());
        for (int shift = 0; shift < 64; shift += 8) {
            size_t counts[256] = {};
            for (const Rank &rank : ranks)
                ++counts[(rank.head >> shift) & 0xff];
            if (counts[(ranks.front().head >> shift) & 0xff] == ranks.size())
                continue; // every head has the same byte here
            size_t offset = 0;
            for (size_t &count : counts)
                offset += std::exchange(count, offset);
            for (const Rank &rank : ranks)
                spare[counts[(rank.head >> shift) & 0xff]++] = rank;
            ranks.swap(spare);
        }

        // A run of equal heads is ordered on the next eight bytes, then on
        // the rest: the first common + 16 bytes are equal wherever both keys
        // have them, and shorter keys compare from the shared prefix.
        const auto byKey = [this, common](const Rank &a, const Rank &b) {
            if (a.head != b.head)
                return a.head < b.head;
            const Bytes x = m_entries[a.index].key;
            const Bytes y = m_entries[b.index].key;
            const size_t from = std::min({common + 16, x.size(), y.size()});
            const int order = x.substr(from).compare(y.substr(from));
            return order != 0 ? order < 0 : a.index < b.index; // a key's lines in file order
        };
        for (auto run = ranks.begin(); run != ranks.end();) {
            const auto end = std::find_if(run + 1, ranks.end(),
                                          [head = run->head](const Rank &r) { return r.head != head; });
            if (end - run > 1) {
                for (auto rank = run; rank != end; ++rank)
                    rank->head = headAt(m_entries[rank->index].key, common + 8);
                std::sort(run, end, byKey);
            }
            run = end;
        }
        return ranks;
    }

    // Eight bytes of the key from the offset on, big-endian, zero-padded.
    static quint64 headAt(Bytes key, size_t offset)
    {
        const Bytes rest = offset < key.size() ? key.substr(offset) : Bytes();
        quint64 head = 0;
        for (size_t b = 0; b < 8; ++b)
            head = (head << 8) | (b < rest.size() ? quint8(rest[b]) : 0);
        return head;
    }

    // The items of a trimmed value: a bracketed list, or the value alone.
    QStringList itemsOf(Bytes value)
    {
        QStringList items;
        if (value.size() < 2 || value.front() != '[' || value.back() != ']') {
            items.reserve(1);
            items.append(itemText(value));
            return items;
        }
        Bytes list = value.substr(1, value.size() - 2);
        if (list.find_first_of("[]") != Bytes::npos) { // brackets inside go too
            m_list.clear();
            for (char c : list) {
                if (c != '[' && c != ']')
                    m_list += c;
            }
            list = m_list;
        }
        m_pieces.clear();
        for (size_t pos = 0; pos < list.size();) {
            size_t comma = list.find(',', pos);
            if (comma == Bytes::npos)
                comma = list.size();
            if (comma > pos)
                m_pieces.push_back(list.substr(pos, comma - pos));
            pos = comma + 1;
        }
        items.reserve(TextSize(m_pieces.size()));
        for (const Bytes piece : m_pieces)
            items.append(itemText(piece));
        return items;
    }

    // Trims an item, then drops every double quote.
    QString itemText(Bytes item)
    {
        item = trimmed(item);
        if (item.find('"') == Bytes::npos)
            return m_recentItems.text(item);
        m_unquoted.clear();
        for (char c : item) {
            if (c != '"')
                m_unquoted += c;
        }
        return m_recentItems.text(m_unquoted);
    }

    // Short item texts seen lately, so that a value that recurs (on, 0, a
    // unit) shares one string instead of allocating its own each time.
    class RecentTexts
    {
    public:
        QString text(Bytes bytes)
        {
            if (bytes.size() > maxSize)
                return latin1Text(bytes);
            size_t hash = 14695981039346656037u; // FNV-1a
            for (const char c : bytes)
                hash = (hash ^ quint8(c)) * 1099511628211u;
            QString &slot = m_slots[hash % slotCount];
            if (!sameText(slot, bytes))
                slot = latin1Text(bytes);
            return slot;
        }

    private:
        static bool sameText(const QString &text, Bytes bytes)
        {
            if (text.isNull() || size_t(text.size()) != bytes.size())
                return false;
            const QChar *chars = text.constData();
            for (size_t i = 0; i < bytes.size(); ++i) {
                if (chars[i].unicode() != quint8(bytes[i]))
                    return false;
            }
            return true;
        }

        static constexpr size_t maxSize = 16;
        static constexpr size_t slotCount = 1021;
        std::vector<QString> m_slots = std::vector<QString>(slotCount);
    };

    ByteArena m_keys;
    RecentTexts m_recentItems;
    BlockList<PendingEntry> m_entries;
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
    // Reads of up to 1 MiB, less for a small file; the buffer grows past
    // that only to hold a longer line.
    const qint64 knownSize = file.size(); // 0 for pipes and /proc files
    const size_t chunk = knownSize > 0 ? size_t(std::clamp<qint64>(knownSize, 4095, (1 << 20) - 1)) + 1
                                       : size_t(1) << 16;
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
        } else if (filled - start > maxLineSize) {
            filled = start; // too long to hold as text: the line is skipped
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

// False when the text holds an ASCII character that never stands in a number
// that QString::toDouble accepts (anything but white space, digits, signs,
// the point, exponents and the letters of "inf", "infinity" and "nan"), so
// words skip the full conversion.
bool mayBeNumber(const QString &text)
{
    static constexpr char allowed[] = "\t\n\v\f\r +-.0123456789eEiInNfFaAtTyY";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 && std::memchr(allowed, int(u), sizeof allowed - 1) == nullptr)
            return false;
    }
    return !text.isEmpty();
}

double toReal(const QString &text)
{
    double value = 0;
    if (plainDecimal(text, value))
        return value;
    if (!mayBeNumber(text))
        return 0.0;
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
    try {
        if (!readLines(file, batch))
            return false;
    } catch (const std::bad_alloc &) {
        return false; // a line or a file too large for memory: the store stays as it was
    }
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
    return found == entries.cend() || found->isEmpty() ? 0.0 : toReal(found->first());
}

QVector<double> Reader::realVectorEntryForKey(const QString &key) const
{
    QVector<double> values;
    const auto found = entries.constFind(key);
    if (found == entries.cend())
        return values;
    values.reserve(found->size());
    for (const QString &item : *found)
        values.append(toReal(item));
    return values;
}

} // namespace yaml
} // namespace plinto
