// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Key order: a radix sort on the eight key characters after the prefix that
// all keys share, then a sort of each run of equal heads on the rest.
#include "order.h"

#include <algorithm>
#include <utility>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// Eight characters of the key from the offset on, a byte each (Latin-1 text),
// big-endian, zero-padded.
quint64 headAt(KeyText key, size_t offset)
{
    const KeyText rest = offset < key.size() ? key.substr(offset) : KeyText();
    quint64 head = 0;
    for (size_t b = 0; b < 8; ++b)
        head = (head << 8) | (b < rest.size() ? quint8(rest[b]) : 0);
    return head;
}

// The length of the prefix that every key shares.
size_t sharedPrefix(size_t count, const std::function<KeyText(size_t)> &keyAt)
{
    const KeyText first = count == 0 ? KeyText() : keyAt(0);
    size_t common = first.size();
    for (size_t i = 0; i < count; ++i) {
        const KeyText key = keyAt(i).substr(0, common);
        common = size_t(std::mismatch(key.begin(), key.end(), first.begin()).first - key.begin());
    }
    return common;
}

// Least significant byte first, skipping bytes that every head shares.
void radixSort(std::vector<KeyRank> &ranks)
{
    std::vector<KeyRank> spare(ranks.size());
    for (int shift = 0; shift < 64; shift += 8) {
        size_t counts[256] = {};
        for (const KeyRank &rank : ranks)
            ++counts[(rank.head >> shift) & 0xff];
        if (counts[(ranks.front().head >> shift) & 0xff] == ranks.size())
            continue;
        size_t offset = 0;
        for (size_t &count : counts)
            offset += std::exchange(count, offset);
        for (const KeyRank &rank : ranks)
            spare[counts[(rank.head >> shift) & 0xff]++] = rank;
        ranks.swap(spare);
    }
}

} // namespace

std::vector<KeyRank> orderByKey(size_t count, const std::function<KeyText(size_t)> &keyAt)
{
    const size_t common = sharedPrefix(count, keyAt);
    std::vector<KeyRank> ranks;
    ranks.reserve(count);
    for (size_t i = 0; i < count; ++i)
        ranks.push_back({headAt(keyAt(i), common), i});
    if (ranks.size() < 2)
        return ranks;
    radixSort(ranks);

    // A run of equal heads is ordered on the next eight characters, then on the
    // rest: the first common + 16 characters are equal wherever both keys have
    // them, and shorter keys compare from the shared prefix.
    const auto byKey = [&keyAt, common](const KeyRank &a, const KeyRank &b) {
        if (a.head != b.head)
            return a.head < b.head;
        const KeyText x = keyAt(a.index);
        const KeyText y = keyAt(b.index);
        const size_t from = std::min({common + 16, x.size(), y.size()});
        const int order = x.substr(from).compare(y.substr(from));
        return order != 0 ? order < 0 : a.index < b.index; // a key's lines in file order
    };
    for (auto run = ranks.begin(); run != ranks.end();) {
        const auto end
                = std::find_if(run + 1, ranks.end(), [head = run->head](const KeyRank &r) { return r.head != head; });
        if (end - run > 1) {
            for (auto rank = run; rank != end; ++rank)
                rank->head = headAt(keyAt(rank->index), common + 8);
            std::sort(run, end, byKey);
        }
        run = end;
    }
    return ranks;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
