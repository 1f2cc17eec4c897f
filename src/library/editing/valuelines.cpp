// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How YAML reads the lines around an entry line. A scanner follows, a line at
// a time, the few things that carry a value over a line end: a flow collection
// or a scalar in quotes not closed on its line, a block scalar, a plain scalar
// going on, a nested block after an empty value. The entry lines asked about
// are judged as the scanner meets them, and their values followed to their
// last line.
#include "valuelines.h"

#include "bytescan.h"

#include <algorithm>
#include <cstring>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr size_t none = size_t(-1);

// The first of the bytes C in the text from offset from on, or the text's
// size. The text is a line of a body that ends at end; the search may look
// past the line's end, up to its line feed.
template <char... C>
size_t findInLine(Bytes text, size_t from, const char *end)
{
    const char *found = findAny<C..., '\n'>(text.data() + from, end);
    return std::min(size_t(found - text.data()), text.size());
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

Bytes leftTrimmed(Bytes text)
{
    size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin]))
        ++begin;
    return text.substr(begin);
}

// A '#' after a blank starts a comment.
size_t commentAt(Bytes text)
{
    for (size_t hash = text.find('#'); hash != Bytes::npos; hash = text.find('#', hash + 1)) {
        if (hash == 0 || isBlank(text[hash - 1]))
            return hash;
    }
    return Bytes::npos;
}

// The colon that ends a plain key: followed by a blank or the end, before any
// comment.
size_t plainKeyColon(Bytes text, const char *end)
{
    for (size_t i = 0; (i = findInLine<':', '#'>(text, i, end)) < text.size(); ++i) {
        if (text[i] == '#' && i > 0 && isBlank(text[i - 1]))
            break; // a comment
        if (text[i] == ':' && (i + 1 == text.size() || isBlank(text[i + 1])))
            return i;
    }
    return Bytes::npos;
}

// Where a scalar in quotes that starts the text closes on it; npos where it
// goes on over the line end.
size_t closingQuote(Bytes text)
{
    const char quote = text[0];
    for (size_t i = 1; i < text.size(); ++i) {
        if (quote == '"' && text[i] == '\\')
            ++i;
        else if (text[i] == quote && quote == '\'' && i + 1 < text.size() && text[i + 1] == '\'')
            ++i;
        else if (text[i] == quote)
            return i;
    }
    return Bytes::npos;
}

// "|" or ">", indicators of chomping and indentation, then nothing but a comment.
bool isBlockScalarHeader(Bytes text)
{
    size_t i = 1;
    while (i < text.size() && i <= 2 && (text[i] == '+' || text[i] == '-' || (text[i] >= '1' && text[i] <= '9')))
        ++i;
    return i == text.size() || isBlank(text[i]);
}

bool isDocumentMarker(Bytes text)
{
    return (text.substr(0, 3) == Bytes("---") || text.substr(0, 3) == Bytes("..."))
            && (text.size() == 3 || isBlank(text[3]));
}

// What a line's value does to the lines after it.
enum class Carries {
    Nothing,     // it ends on the line
    Open,        // a flow collection or a scalar in quotes goes on to its close
    BlockScalar, // a block scalar: the more-indented lines
    Plain,       // a plain scalar, which may go on on more-indented lines
    Nested       // an empty value: a nested block may follow
};

// Where the scanner meets a line.
enum class Context {
    Block,         // a line of its own
    InOpen,        // within a flow collection or a scalar in quotes begun earlier
    InOpenComment, // a comment line within a flow collection, which YAML ignores
    InBlockScalar,
    InPlain
};

struct LineInfo
{
    size_t indent = 0;
    bool blank = false;
    bool comment = false;      // its first character but blanks is '#'
    bool sequenceItem = false; // "- " after its indentation
    Context context = Context::Block;
    size_t openedLine = 0;              // within a value: the line where it begins
    Carries carries = Carries::Nothing; // Plain: unless a comment ends it (Scanner::plainGoesOn)
    size_t parent = 0;                  // the column that the value's lines go beyond
};

class Scanner
{
public:
    // Over the lines of a body that ends there.
    explicit Scanner(const char *end) : m_end(end) { }

    // The line's text, without its line feed, and its number.
    LineInfo next(Bytes text, size_t number);

    // Passes over a line that starts a plain key at the margin and neither
    // opens nor closes anything (see isPlainLine) without reading it. Where
    // the line after it is indented, what it began is read then. (A blank
    // line changes nothing: it needs no passing.)
    void pass(Bytes text, size_t number);
    // Nothing is open: a plain line cannot be within a value.
    bool mayPass() const { return !isOpen(); }

    // The plain scalar that the last line began may go on over the line end:
    // no comment ends it.
    bool plainGoesOn() const;

private:
    void node(Bytes text, size_t column, LineInfo &info);
    void value(Bytes text, size_t parent, LineInfo &info);
    void flow(Bytes text, size_t from);
    bool isOpen() const { return m_depth > 0 || m_quote != 0; }

    const char *m_end;
    size_t m_number = 0;
    int m_depth = 0;  // flow collections open
    char m_quote = 0; // the quote of a scalar open
    size_t m_blockParent = none;
    size_t m_plainParent = none;
    Bytes m_plainValue;
    size_t m_openedLine = 0;
    Bytes m_passed; // the last line passed over that was not blank, unread
    size_t m_passedNumber = 0;
};

void Scanner::pass(Bytes text, size_t number)
{
    // A line at the margin ends a block scalar or a plain scalar before it.
    m_blockParent = none;
    m_plainParent = none;
    m_passed = text;
    m_passedNumber = number;
}

LineInfo Scanner::next(Bytes text, size_t number)
{
    if (!m_passed.empty()) {
        // What the line passed over began matters to an indented line.
        const Bytes passed = m_passed;
        m_passed = Bytes();
        if (!text.empty() && isBlank(text[0]))
            next(passed, m_passedNumber);
    }
    LineInfo info;
    while (info.indent < text.size() && text[info.indent] == ' ')
        ++info.indent;
    const Bytes rest = text.substr(info.indent);
    const Bytes content = leftTrimmed(rest);
    info.blank = content.empty();
    info.comment = !info.blank && content[0] == '#';
    if (isOpen()) {
        info.context = m_quote == 0 && info.comment ? Context::InOpenComment : Context::InOpen;
        info.openedLine = m_openedLine;
        flow(rest, 0);
        return info;
    }
    if (m_blockParent != none) {
        if (info.blank || info.indent > m_blockParent) {
            info.context = Context::InBlockScalar;
            info.openedLine = m_openedLine;
            return info;
        }
        m_blockParent = none;
    }
    if (m_plainParent != none && !info.blank) {
        if (!info.comment && info.indent > m_plainParent && plainGoesOn()) {
            info.context = Context::InPlain;
            info.openedLine = m_openedLine;
            return info;
        }
        m_plainParent = none; // a comment ends a plain scalar too
    }
    if (info.blank || info.comment || (info.indent == 0 && isDocumentMarker(rest)))
        return info;
    m_number = number;
    node(content, info.indent + (rest.size() - content.size()), info);
    return info;
}

// A node in block context, at the column where the text starts.
void Scanner::node(Bytes text, size_t column, LineInfo &info)
{
    size_t dash = none; // the column of the innermost "- "
    while (!text.empty() && text[0] == '-' && (text.size() == 1 || isBlank(text[1]))) {
        info.sequenceItem = true;
        dash = column;
        const Bytes item = leftTrimmed(text.substr(1));
        column += text.size() - item.size();
        text = item;
    }
    const size_t parent = dash != none ? dash : column;
    if (text.empty()) { // "-" alone: the item is on the lines below
        value(text, parent, info);
        return;
    }
    switch (text[0]) {
    case '"':
    case '\'': {
        const size_t close = closingQuote(text);
        const Bytes after = close == Bytes::npos ? Bytes() : leftTrimmed(text.substr(close + 1));
        if (!after.empty() && after[0] == ':' && (after.size() == 1 || isBlank(after[1])))
            value(leftTrimmed(after.substr(1)), column, info); // a key in quotes
        else
            value(text, parent, info);
        return;
    }
    case '[':
    case '{':
    case '|':
    case '>':
    case '&':
    case '!':
    case '*':
    case '?':
        value(text, parent, info); // no plain key starts so
        return;
    }
    const size_t colon = plainKeyColon(text, m_end);
    if (colon != Bytes::npos)
        value(leftTrimmed(text.substr(colon + 1)), column, info);
    else
        value(text, parent, info);
}

// The value node that starts the text; its lines go beyond the parent column.
void Scanner::value(Bytes text, size_t parent, LineInfo &info)
{
    while (!text.empty() && (text[0] == '&' || text[0] == '!')) { // an anchor or a tag before the node
        size_t end = 0;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        text = leftTrimmed(text.substr(end));
    }
    info.parent = parent;
    if (text.empty() || text[0] == '#') {
        info.carries = Carries::Nested;
        return;
    }
    switch (text[0]) {
    case '|':
    case '>':
        if (!isBlockScalarHeader(text))
            break;
        m_blockParent = parent;
        m_openedLine = m_number;
        info.carries = Carries::BlockScalar;
        return;
    case '"':
    case '\'':
        m_quote = text[0];
        flow(text, 1);
        if (isOpen()) {
            m_openedLine = m_number;
            info.carries = Carries::Open;
        }
        return;
    case '[':
    case '{':
        flow(text, 0);
        if (isOpen()) {
            m_openedLine = m_number;
            info.carries = Carries::Open;
        }
        return;
    case '*':
        return; // an alias is whole
    }
    m_plainParent = parent;
    m_plainValue = text;
    m_openedLine = m_number;
    info.carries = Carries::Plain;
}

bool Scanner::plainGoesOn() const
{
    return commentAt(m_plainValue) == Bytes::npos;
}

// Follows a flow collection, or a scalar in quotes, along the text from where
// it stands: brackets and quotes counted, a comment skipped, up to the close.
void Scanner::flow(Bytes text, size_t i)
{
    const size_t size = text.size();
    while (i < size) {
        if (m_quote != 0) {
            for (; i < size && text[i] != m_quote; ++i) {
                if (m_quote == '"' && text[i] == '\\')
                    ++i;
            }
            if (i >= size)
                return; // it goes on over the line end
            if (m_quote == '\'' && i + 1 < size && text[i + 1] == '\'') {
                i += 2; // a quote in single quotes
                continue;
            }
            m_quote = 0;
            if (m_depth == 0)
                return;
            ++i;
            continue;
        }
        i = findInLine<'"', '\'', '[', ']', '{', '}', '#'>(text, i, m_end);
        if (i == size)
            return;
        switch (text[i]) {
        case '[':
        case '{':
            ++m_depth;
            break;
        case ']':
        case '}':
            if (m_depth > 0 && --m_depth == 0)
                return;
            break;
        case '#':
            if (i == 0 || isBlank(text[i - 1]))
                return; // a comment, to the line's end
            break;
        default: { // a quote opens a scalar where one starts; elsewhere (it's) it is text
            size_t before = i;
            while (before > 0 && isBlank(text[before - 1]))
                --before;
            if (before == 0 || std::strchr("[{,:", text[before - 1]) != nullptr)
                m_quote = text[i];
        }
        }
        ++i;
    }
}

// A value being followed to its last line.
struct Follower
{
    size_t result; // the entry line it follows, in the results
    Carries carries;
    size_t parent;
    std::vector<LineSpan> pendingKept; // comment entries after its last line so far
};

// Does the line belong to the value? content: it is one of its lines, not a
// blank or comment line that may turn out to stand after it.
bool belongs(const Follower &follower, const LineInfo &info, bool &content)
{
    content = !info.blank;
    switch (follower.carries) {
    case Carries::Open:
        return info.context == Context::InOpen || info.context == Context::InOpenComment;
    case Carries::BlockScalar:
        return info.context == Context::InBlockScalar;
    case Carries::Plain:
        return info.context == Context::InPlain || (info.blank && info.context == Context::Block);
    case Carries::Nested:
        if (info.context != Context::Block)
            return true; // a value begun within the block
        content = !info.blank && !info.comment;
        return !content || info.indent > follower.parent || (info.indent == follower.parent && info.sequenceItem);
    case Carries::Nothing:
        break;
    }
    return false;
}

YamlRole roleOf(const LineInfo &info)
{
    switch (info.context) {
    case Context::Block:
        return info.sequenceItem ? YamlRole::SequenceItem : YamlRole::Key;
    case Context::InOpenComment:
        return YamlRole::Key;
    case Context::InOpen:
    case Context::InBlockScalar:
    case Context::InPlain:
        break;
    }
    return YamlRole::InsideValue;
}

bool endsName(char c)
{
    return isBlank(c) || c == '\n' || c == ',' || c == '[' || c == ']' || c == '{' || c == '}';
}

// The first alias in the body, outside [from, to), of an anchor that the
// value there defines: its offset, and the anchor's name; npos where none.
size_t aliasOfAnchorIn(Bytes body, size_t from, size_t to, Bytes &name)
{
    const Bytes value = body.substr(from, to - from);
    for (size_t amp = value.find('&'); amp != Bytes::npos; amp = value.find('&', amp + 1)) {
        if (amp > 0 && !endsName(value[amp - 1]) && value[amp - 1] != ':')
            continue; // text, not an anchor
        size_t end = amp + 1;
        while (end < value.size() && !endsName(value[end]))
            ++end;
        name = value.substr(amp + 1, end - amp - 1);
        if (name.empty())
            continue;
        const std::string alias = '*' + std::string(name);
        for (size_t at = 0;;) {
            const void *hit = memmem(body.data() + at, body.size() - at, alias.data(), alias.size());
            if (!hit)
                break;
            const size_t star = size_t(static_cast<const char *>(hit) - body.data());
            const size_t after = star + alias.size();
            const bool whole = (after == body.size() || endsName(body[after]))
                    && (star == 0 || endsName(body[star - 1]) || body[star - 1] == ':');
            if (whole && (star < from || star >= to))
                return star;
            at = star + 1;
        }
    }
    return Bytes::npos;
}

std::string quotedKey(Bytes key)
{
    std::string text = "\"";
    text.append(key);
    return text + '"';
}

} // namespace

std::vector<ValueLines> readValueLines(Bytes body, const std::vector<std::pair<LineSpan, Bytes>> &lines, ReadFrom *from)
{
    std::vector<ValueLines> results;
    results.reserve(lines.size());
    std::vector<Follower> following;
    Scanner scanner(body.data() + body.size());
    LineFeeds lineFeeds(body);
    size_t asked = 0; // the next line asked about
    size_t number = 0;
    size_t start = 0;
    ReadFrom passed; // the last place passed where reading may begin
    if (from && !lines.empty() && lines.front().first.start >= from->start) {
        passed = *from;
        start = passed.start;
        number = passed.lines;
        if (passed.before.end > passed.before.start)
            scanner.pass(body.substr(passed.before.start, passed.before.end - passed.before.start), number);
    }
    for (; start < body.size() && (asked < lines.size() || !following.empty());) {
        // Most lines of a large file need not be read: no value is followed
        // there, none is asked about, and the line opens nothing.
        if (following.empty() && lines[asked].first.start != start && scanner.mayPass()) {
            size_t last = 0;
            size_t count = 0;
            const size_t stop = passPlainLines(body, start, lines[asked].first.start, last, count);
            if (count != 0) {
                number += count;
                scanner.pass(body.substr(last, stop - 1 - last), number);
                passed = {stop, number, {last, stop - 1}};
                start = stop;
                continue;
            }
        }
        const size_t textEnd = lineFeeds.next(start);
        const LineSpan span{start, textEnd < body.size() ? textEnd + 1 : textEnd};
        const Bytes text = body.substr(start, textEnd - start);
        ++number;
        // One at a time where they hold a bracket, are blank, or run on.
        if (following.empty() && lines[asked].first.start != start && scanner.mayPass()) {
            const bool plain = isPlainLine(text, body.data() + body.size());
            if (plain || leftTrimmed(text).empty()) {
                if (plain) {
                    scanner.pass(text, number);
                    passed = {span.end, number, {start, textEnd}};
                }
                start = span.end;
                continue;
            }
        }
        const Bytes line = body.substr(span.start, span.end - span.start);
        const LineInfo info = scanner.next(text, number);

        for (auto follower = following.begin(); follower != following.end();) {
            bool content = false;
            if (!belongs(*follower, info, content)) {
                follower = following.erase(follower);
                continue;
            }
            ValueLines &value = results[follower->result];
            Bytes key;
            const bool isEntry = !info.blank && entryKey(line, key);
            if (isEntry && info.comment) {
                follower->pendingKept.push_back(span); // stays where it is, if it is one of the value's lines
            } else if (isEntry && key != value.key && value.role == YamlRole::Key) {
                value.role = YamlRole::OtherKeysInValue;
                value.otherLine = number;
                value.otherKey = key;
            }
            if (content) {
                value.end = span.end;
                value.lastLine = number;
                value.kept.insert(value.kept.end(), follower->pendingKept.begin(), follower->pendingKept.end());
                follower->pendingKept.clear();
            }
            ++follower;
        }

        if (asked < lines.size() && lines[asked].first.start == start) {
            ValueLines value;
            value.key = lines[asked].second;
            value.entry = span;
            value.line = number;
            value.end = span.end;
            value.lastLine = number;
            value.role = roleOf(info);
            value.comment = info.comment;
            value.otherLine = info.openedLine;
            if (value.role == YamlRole::Key && !info.comment && info.carries != Carries::Nothing
                && (info.carries != Carries::Plain || scanner.plainGoesOn()))
                following.push_back({results.size(), info.carries, info.parent, {}});
            results.push_back(std::move(value));
            ++asked;
        }
        start = span.end;
    }
    if (from && passed.start > from->start)
        *from = passed;

    // A value that goes takes its anchors along: an alias elsewhere would
    // lose what it names.
    for (ValueLines &value : results) {
        if (value.role != YamlRole::Key || value.comment)
            continue;
        const size_t colon = body.find(':', value.entry.start);
        const size_t star = aliasOfAnchorIn(body, colon + 1, value.end, value.otherKey);
        if (star != Bytes::npos) {
            value.role = YamlRole::AnchorUsed;
            value.otherLine = size_t(std::count(body.begin(), body.begin() + std::ptrdiff_t(star), '\n')) + 1;
        }
    }
    return results;
}

std::string refusalText(const ValueLines &lines)
{
    const std::string key = quotedKey(lines.key);
    const std::string line = std::to_string(lines.line);
    switch (lines.role) {
    case YamlRole::Key:
        break;
    case YamlRole::SequenceItem:
        return "key " + key + " on line " + line
                + " is an item of a list to YAML, not a key: changing it would"
                  " break the file for YAML";
    case YamlRole::InsideValue:
        return "key " + key + " on line " + line + " is part of the value that line " + std::to_string(lines.otherLine)
                + " begins, to YAML: changing it would break the file for YAML";
    case YamlRole::AnchorUsed:
        return "the value of key " + key + " on line " + line + " holds the anchor &" + std::string(lines.otherKey)
                + ", which line " + std::to_string(lines.otherLine)
                + " uses: changing it would break the file for YAML";
    case YamlRole::OtherKeysInValue:
        return "the value of key " + key + " on line " + line + " goes on to line " + std::to_string(lines.lastLine)
                + " and holds other keys (" + quotedKey(lines.otherKey) + " on line " + std::to_string(lines.otherLine)
                + "): changing it would drop them, or break the file for YAML";
    }
    return std::string();
}

} // namespace detail
} // namespace yaml
} // namespace plinto
