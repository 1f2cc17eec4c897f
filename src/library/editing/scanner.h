// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The scanner: where each line of a file stands to YAML, read a line at a
// time, following the few things that carry a value over a line end: a flow
// collection or a scalar in quotes not closed on its line (flow), a block
// scalar, a plain scalar going on, a nested block after an empty value.
#ifndef PLINTO_YAML_SCANNER_H
#define PLINTO_YAML_SCANNER_H

#include "reading/lines.h"

#include <cstddef>

namespace plinto {
namespace yaml {
namespace detail {

// No column: nothing of that kind is open.
constexpr size_t noColumn = size_t(-1);

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
    size_t m_blockParent = noColumn;
    size_t m_plainParent = noColumn;
    Bytes m_plainValue;
    size_t m_openedLine = 0;
    Bytes m_passed; // the last line passed over that was not blank, unread
    size_t m_passedNumber = 0;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_SCANNER_H
