// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The entry format, rule by rule in the order a line meets them (the README's
// "The entry format" says the same in words).
#include "syntax.h"

namespace plinto {
namespace yaml {
namespace detail {

// White space is tab, line feed, vertical tab, form feed, carriage return and
// space. Bytes above 127 never are: 0xA0 and 0x85 end many UTF-8 characters.
static bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

Bytes trimmed(Bytes bytes)
{
    size_t begin = 0;
    size_t end = bytes.size();
    while (begin < end && isSpace(bytes[begin]))
        ++begin;
    while (end > begin && isSpace(bytes[end - 1]))
        --end;
    return bytes.substr(begin, end - begin);
}

// 1. A line ends at its line feed; a carriage return right before it goes
//    too, so CRLF files read like LF files. A NUL byte ends the line's text.
LineText lineText(Bytes line)
{
    LineText result;
    result.lineFeed = !line.empty() && line.back() == '\n';
    if (result.lineFeed) {
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
    }
    const size_t nul = line.find('\0');
    if (nul != Bytes::npos) {
        line = line.substr(0, nul);
        result.lineFeed = false;
        result.nul = true;
    }
    result.text = line;
    return result;
}

// 2. The text is split at every ':', empty pieces dropped. The line feed that
//    ended the text is one more piece after a final colon (elsewhere it ends
//    the last piece, and trimming takes it). Counts up to three pieces and
//    keeps the first two.
static int splitAtColons(const LineText &line, Bytes pieces[2])
{
    const Bytes text = line.text;
    int count = 0;
    for (size_t pos = 0; pos < text.size() && count < 3;) {
        size_t colon = text.find(':', pos);
        if (colon == Bytes::npos)
            colon = text.size();
        if (colon > pos && count++ < 2)
            pieces[count - 1] = text.substr(pos, colon - pos);
        pos = colon + 1;
    }
    if (line.lineFeed && (text.empty() || text.back() == ':') && count++ < 2)
        pieces[count - 1] = Bytes();
    return count;
}

static Bytes itemText(Bytes item, std::string &scratch); // rule 4, below

bool isList(Bytes value)
{
    return value.size() >= 2 && value.front() == '[' && value.back() == ']';
}

// A bracket inside a list (two memchr searches: cheaper than find_first_of).
static bool hasInnerBracket(Bytes list)
{
    return list.find('[') != Bytes::npos || list.find(']') != Bytes::npos;
}

// 3. A value that starts with '[' and ends with ']' is a list: every bracket
//    goes, and the rest is split at every ',', empty pieces dropped (a piece
//    of spaces is not empty: it becomes an empty item). Any other value is
//    the one item.
static void splitItems(Bytes value, EntryLine &entry)
{
    entry.items.clear();
    if (!isList(value)) {
        entry.items.push_back(itemText(value, entry.scratch));
        return;
    }
    Bytes list = value.substr(1, value.size() - 2);
    if (hasInnerBracket(list)) {
        const size_t at = entry.scratch.size();
        for (const char c : list) {
            if (c != '[' && c != ']')
                entry.scratch += c;
        }
        list = Bytes(entry.scratch).substr(at);
    }
    for (size_t pos = 0; pos < list.size();) {
        size_t comma = list.find(',', pos);
        if (comma == Bytes::npos)
            comma = list.size();
        if (comma > pos)
            entry.items.push_back(itemText(list.substr(pos, comma - pos), entry.scratch));
        pos = comma + 1;
    }
}

// 4. Each item is trimmed, then loses every double quote: quotes keep spaces,
//    not commas or colons.
static Bytes itemText(Bytes item, std::string &scratch)
{
    item = trimmed(item);
    if (item.find('"') == Bytes::npos)
        return item;
    const size_t at = scratch.size();
    for (const char c : item) {
        if (c != '"')
            scratch += c; // within the capacity readEntry reserved: earlier items stay put
    }
    return Bytes(scratch).substr(at);
}

// Only a line that leaves exactly two pieces is an entry: the key and the
// value, each trimmed. Nothing more is done to the key.
bool readEntry(Bytes line, EntryLine &entry)
{
    const LineText text = lineText(line);
    Bytes pieces[2];
    if (splitAtColons(text, pieces) != 2)
        return false;
    entry.key = trimmed(pieces[0]);
    const Bytes value = trimmed(pieces[1]);
    // Taking out brackets and quotes never makes a value longer, so this
    // room holds all the bytes that splitItems copies.
    entry.scratch.clear();
    if (value.find('"') != Bytes::npos || (isList(value) && hasInnerBracket(value.substr(1, value.size() - 2))))
        entry.scratch.reserve(2 * value.size());
    splitItems(value, entry);
    return true;
}

const char *whySkipped(Bytes line)
{
    const LineText text = lineText(line);
    Bytes pieces[2];
    const int count = splitAtColons(text, pieces);
    if (count == 2 || trimmed(text.text).empty())
        return nullptr;
    if (text.text.find(':') == Bytes::npos)
        return "no colon";
    if (count > 2) {
        // Written for YAML, where the colon would stand in a comment?
        const size_t comment = commentStart(text.text);
        const LineText beforeComment{text.text.substr(0, comment), false, false};
        if (comment != Bytes::npos && splitAtColons(beforeComment, pieces) == 2)
            return "a colon in its trailing comment; put the comment on a line of its own";
        return "a value may not hold a colon";
    }
    if (count == 0)
        return "nothing but colons";
    if (text.text.front() == ':')
        return "no key before the colon";
    return "nothing after the colon, not even a line feed";
}

bool entryPieces(const LineText &line, Bytes &key, Bytes &value)
{
    Bytes pieces[2];
    if (splitAtColons(line, pieces) != 2)
        return false;
    key = pieces[0];
    value = pieces[1];
    return true;
}

// A quote opens a scalar in quotes only where a scalar starts: at the start,
// after ':', '[' or ',' and white space. Elsewhere (it's) it is text.
size_t commentStart(Bytes text)
{
    char quote = 0;
    bool scalarStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '#' && i > 0 && isSpace(text[i - 1])) {
            return i;
        } else if ((c == '"' || c == '\'') && scalarStart) {
            quote = c;
        } else if (!isSpace(c)) {
            scalarStart = c == ':' || c == '[' || c == ',';
        }
    }
    return Bytes::npos;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
