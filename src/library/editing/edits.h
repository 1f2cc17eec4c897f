// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The edits of one editor, by key, and a file's bytes with them applied: the
// old bytes spliced, so that every line but the edited keys' entry lines and
// their value lines stays as it is.
#ifndef PLINTO_YAML_EDITS_H
#define PLINTO_YAML_EDITS_H

#include "valuelines.h"

#include <QByteArray>

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// What is to become of one key's lines.
struct KeyEdit
{
    bool dropLines = false;   // every entry line of the key goes, with its value lines (a remove)
    bool set = false;         // the key gets value: on its last entry line, whose value lines go,
                              // or on a new line when it has none
    std::string value;        // as written after the colon
    quint64 newLineOrder = 0; // new lines go at the end in this order
};
using Edits = std::map<std::string, KeyEdit, std::less<>>;

// Where one key's edit changes a file's bytes: the key's entry lines, and how
// YAML reads those that change. The editor finds them as an edit is made, and
// keeps them for the loaded bytes.
struct KeyLines
{
    bool dropLines = false;           // found for a remove (every line changes), else for a set (the last)
    std::vector<LineSpan> lines;      // every entry line of the key
    std::vector<ValueLines> changing; // the lines that change, as YAML reads them
};
using FoundLines = std::map<std::string, KeyLines, std::less<>>;

// The key's lines in the file's bytes, for a remove or a set. The key's bytes
// must outlive the result. from: where the file may be read from, kept
// between calls on the same bytes (see readValueLines).
KeyLines findKeyLines(Bytes file, Bytes key, bool dropLines, ReadFrom *from = nullptr);

// The file's bytes with the edits applied, as pieces: runs of the old bytes
// and the lines made anew, which live as long as this. found: what is known
// already of the edited keys' lines in these very bytes.
class EditedBytes
{
public:
    EditedBytes(Bytes file, const Edits &edits, const FoundLines *found = nullptr);

    const std::vector<Bytes> &pieces() const { return m_pieces; }
    // False when the pieces are the old bytes as they were.
    bool changesFile() const { return m_changed; }
    QByteArray joined() const;
    // Why an edit was left out, where YAML readers would not keep it (after
    // another program's change: the editor refuses such an edit at once);
    // empty when none was.
    const std::string &refusal() const { return m_refusal; }

private:
    std::deque<std::string> m_made;
    std::vector<Bytes> m_pieces;
    bool m_changed = false;
    std::string m_refusal;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_EDITS_H
