// Pending entries: key bytes in an arena, recurring item texts shared; stored
// in key order with no search.
#include "batch.h"

#include "order.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using TextSize = qsizetype;
#else
using TextSize = int;
#endif

// The bytes as Latin-1 text; never a null string, even when empty.
QString latin1Text(Bytes bytes)
{
    if (bytes.empty())
        return QString(QLatin1String(""));
    return QString::fromLatin1(bytes.data(), TextSize(bytes.size()));
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

// Short item texts seen lately, so that a value that recurs (on, 0, a unit)
// shares one string instead of allocating its own each time.
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

struct PendingEntry
{
    Bytes key; // in the batch's arena
    QStringList items;
};

} // namespace

class EntryBatch::Pending
{
public:
    ByteArena keys;
    RecentTexts recentItems;
    std::vector<PendingEntry> entries;
};

EntryBatch::EntryBatch() : d(std::make_unique<Pending>()) { }

EntryBatch::~EntryBatch() = default;

void EntryBatch::add(const EntryLine &entry)
{
    QStringList items;
    items.reserve(TextSize(entry.items.size()));
    for (const Bytes item : entry.items)
        items.append(d->recentItems.text(item));
    d->entries.push_back(PendingEntry{d->keys.keep(entry.key), std::move(items)});
}

void EntryBatch::mergeInto(QMap<QString, QStringList> &entries)
{
    std::vector<PendingEntry> &pending = d->entries;
    const std::vector<KeyRank> order = orderByKey(pending.size(), [&pending](size_t i) { return pending[i].key; });
    FreshStore fresh;
    const bool intoFresh = entries.isEmpty();
    for (size_t i = 0; i < order.size(); ++i) {
        PendingEntry &entry = pending[order[i].index];
        if (i + 1 < order.size() && pending[order[i + 1].index].key == entry.key)
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

} // namespace detail
} // namespace yaml
} // namespace plinto
