// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Where a key's lines are in the bytes: the entry lines of given keys, found
// in a file's bytes without reading the file into a store.
#ifndef PLINTO_YAML_KEYLINES_H
#define PLINTO_YAML_KEYLINES_H

#include "syntax.h"

#include <functional>
#include <string>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// One line of a file's body: [start, end), its line feed included.
struct LineSpan
{
    size_t start = 0;
    size_t end = 0;
};

// A file's bytes as the reader takes them: a UTF-8 byte-order mark at the
// very start, then the body, whose lines are read.
struct FileBody
{
    Bytes byteOrderMark;
    Bytes body;
};
FileBody fileBody(Bytes file);

// The line of the body that holds the byte at offset.
LineSpan lineAround(Bytes body, size_t offset);

// The key of an entry line, as the reader stores it; false for a line that
// is not an entry.
bool entryKey(Bytes line, Bytes &key);

// Calls onLine with each entry line of the body whose key is one of keys
// (sorted, unique), in file order, with the key it is a line of.
void findEntryLines(Bytes body, const std::vector<Bytes> &keys,
                    const std::function<void(Bytes key, LineSpan line)> &onLine);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_KEYLINES_H
