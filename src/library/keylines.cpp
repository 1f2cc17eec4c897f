// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Where a key's lines are in the bytes: a line can be an entry of a key only
// if it holds the key's bytes, so a few keys are searched for with memmem and
// only the lines that hold them are read; many keys, or the empty key (which
// every line holds), take one pass over every line.
#include "keylines.h"

#include <algorithm>
#include <cstring>

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

// One key: its bytes searched for, each line that holds them read once.
void searchKey(Bytes body, Bytes wanted, const std::function<void(Bytes, LineSpan)> &onLine)
{
    for (size_t from = 0; from < body.size();) {
        const void *hit = memmem(body.data() + from, body.size() - from, wanted.data(), wanted.size());
        if (!hit)
            break;
        const LineSpan line = lineAround(body, size_t(static_cast<const char *>(hit) - body.data()));
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
