// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Pending entries: each line's key and items as texts, kept in blocks; then
// ordered by key and stored in that order with no search.
#include "batch.h"

#include "order.h"
#include "texts.h"

#include <map>
#include <utility>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// A sequence in blocks of fixed size that never move: growing copies
// nothing, and the memory it takes is what it holds. (A vector of a million
// entries takes a block so large that malloc maps it afresh each time, and
// each page is faulted in again on every parse.)
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
    size_t size() const { return m_size; }

private:
    static constexpr size_t blockSize = 1024;
    std::vector<std::vector<T>> m_blocks;
    size_t m_size = 0;
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
    QString key;
    QStringList items;
};

KeyText keyText(const PendingEntry &entry)
{
    return KeyText(QStringView(entry.key).utf16(), size_t(entry.key.size()));
}

} // namespace

class EntryBatch::Pending
{
public:
    TextBlocks texts;
    BlockList<PendingEntry> entries;
};

EntryBatch::EntryBatch() : d(std::make_unique<Pending>()) { }

EntryBatch::~EntryBatch() = default;

void EntryBatch::add(const EntryLine &entry)
{
    QStringList items = d->texts.texts(entry.items);
    d->entries.push_back(PendingEntry{d->texts.text(entry.key), std::move(items)});
}

size_t EntryBatch::size() const
{
    return d->entries.size();
}

void EntryBatch::mergeInto(QMap<QString, QStringList> &entries, const OnOverridden &onOverridden,
                           const OnStored &onStored)
{
    BlockList<PendingEntry> &pending = d->entries;
    const std::vector<KeyRank> order = orderByKey(pending.size(), [&pending](size_t i) { return keyText(pending[i]); });
    FreshStore fresh;
    const bool intoFresh = entries.isEmpty();
    for (size_t i = 0, first = 0; i < order.size(); ++i) {
        PendingEntry &entry = pending[order[i].index];
        if (i + 1 < order.size() && pending[order[i + 1].index].key == entry.key)
            continue; // a later line has the same key: this one wins, or one after it
        for (; onOverridden && first < i; ++first)
            onOverridden(order[first].index, entry.key, order[i].index);
        first = i + 1;
        if (onStored)
            onStored(entry.key, order[i].index);
        if (intoFresh)
            appendInOrder(fresh, std::move(entry.key), std::move(entry.items));
        else
            entries.insert(entry.key, entry.items);
    }
    if (intoFresh)
        entries = QMap<QString, QStringList>(std::move(fresh));
}

void EntryBatch::overriddenWithin(size_t first, size_t end, const OnOverridden &onOverridden)
{
    BlockList<PendingEntry> &pending = d->entries;
    const std::vector<KeyRank> order
            = orderByKey(end - first, [&pending, first](size_t i) { return keyText(pending[first + i]); });
    for (size_t i = 0, from = 0; i < order.size(); ++i) {
        const QString &key = pending[first + order[i].index].key;
        if (i + 1 < order.size() && pending[first + order[i + 1].index].key == key)
            continue;
        for (; from < i; ++from)
            onOverridden(first + order[from].index, key, first + order[i].index);
        from = i + 1;
    }
}

} // namespace detail
} // namespace yaml
} // namespace plinto
