// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Where a key's lines are in the bytes: a line can be an entry of a key only
// if it holds the key's bytes, so a few keys are searched for and only the
// lines that hold them are read; many keys, or the empty key (which
// every line holds), take one pass over every line.
#include "keylines.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr size_t mostKeysSearched = 16;

size_t lineEnd(Bytes body, size_t from)
{
    const void *lf = std::memchr(body.data() + from, '\n', body.size() - from);
    return lf ? size_t(static_cast<const char *>(lf) - body.data()) + 1 : body.size();
}

bool isKeyOf(Bytes line, const std::vector<Bytes> &keys, Bytes &key)
{
    return entryKey(line, key) && std::binary_search(keys.begin(), keys.end(), key);
}

// Where the needle first stands in the haystack, from offset from on; npos
// where it does not. Sixteen places at a time where the processor can: those
// where the needle's first and last bytes stand, then the bytes between.
size_t find(Bytes haystack, Bytes needle, size_t from)
{
    const size_t size = needle.size();
    if (size < 2 || haystack.size() < from + size) {
        const void *hit = memmem(haystack.data() + from, haystack.size() - from, needle.data(), size);
        return hit ? size_t(static_cast<const char *>(hit) - haystack.data()) : Bytes::npos;
    }
    const size_t last = haystack.size() - size; // the last place it can start at
    size_t at = from;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i final = _mm_set1_epi8(needle.back());
    for (; at + 16 <= last + 1; at += 16) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i *>(haystack.data() + at));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i *>(haystack.data() + at + size - 1));
        for (unsigned places
             = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, final))));
             places != 0; places &= places - 1) {
            const size_t place = at + size_t(__builtin_ctz(places));
            if (std::memcmp(haystack.data() + place + 1, needle.data() + 1, size - 2) == 0)
                return place;
        }
    }
#endif
    for (; at <= last; ++at) {
        if (haystack[at] == needle.front() && std::memcmp(haystack.data() + at + 1, needle.data() + 1, size - 1) == 0)
            return at;
    }
    return Bytes::npos;
}

// One key: its bytes searched for, each line that holds them read once.
void searchKey(Bytes body, Bytes wanted, const std::function<void(Bytes, LineSpan)> &onLine)
{
    for (size_t from = 0; from < body.size();) {
        const size_t hit = find(body, wanted, from);
        if (hit == Bytes::npos)
            break;
        const LineSpan line = lineAround(body, hit);
        Bytes key;
        if (entryKey(body.substr(line.start, line.end - line.start), key) && key == wanted)
            onLine(wanted, line);
        from = line.end;
    }
}

} // namespace

FileBody fileBody(Bytes file)
{
    const size_t mark = file.substr(0, 3) == Bytes("\xEF\xBB\xBF") ? 3 : 0;
    return {file.substr(0, mark), file.substr(mark)};
}

LineSpan lineAround(Bytes body, size_t offset)
{
    const void *lf = memrchr(body.data(), '\n', offset);
    const size_t start = lf ? size_t(static_cast<const char *>(lf) - body.data()) + 1 : 0;
    return {start, lineEnd(body, offset)};
}

bool entryKey(Bytes line, Bytes &key)
{
    Bytes value;
    if (!entryPieces(lineText(line), key, value))
        return false;
    key = trimmed(key);
    return true;
}

void findEntryLines(Bytes body, const std::vector<Bytes> &keys, const std::function<void(Bytes, LineSpan)> &onLine)
{
    if (keys.empty())
        return;
    if (keys.size() == 1 && !keys.front().empty()) {
        searchKey(body, keys.front(), onLine);
        return;
    }
    if (keys.size() <= mostKeysSearched && !keys.front().empty()) {
        // Each key's lines, then all of them in file order.
        std::vector<std::pair<LineSpan, Bytes>> found;
        for (const Bytes wanted : keys)
            searchKey(body, wanted, [&found](Bytes key, LineSpan line) { found.emplace_back(line, key); });
        std::sort(found.begin(), found.end(),
                  [](const auto &a, const auto &b) { return a.first.start < b.first.start; });
        for (const auto &[line, key] : found)
            onLine(key, line);
        return;
    }
    for (size_t start = 0; start < body.size();) {
        const LineSpan line{start, lineEnd(body, start)};
        Bytes key;
        if (isKeyOf(body.substr(line.start, line.end - line.start), keys, key))
            onLine(*std::lower_bound(keys.begin(), keys.end(), key), line);
        start = line.end;
    }
}

} // namespace detail
} // namespace yaml
} // namespace plinto
