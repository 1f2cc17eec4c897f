// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The edits of one editor, by key, and a file's bytes with them applied: the
// old bytes spliced, so that every line the edits do not name stays as it is.
#ifndef PLINTO_YAML_EDITS_H
#define PLINTO_YAML_EDITS_H

#include "syntax.h"

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
    bool dropLines = false;   // every entry line of the key goes (a remove)
    bool set = false;         // the key gets value: on its last entry line, or on a new line when it has none
    std::string value;        // as written after the colon
    quint64 newLineOrder = 0; // new lines go at the end in this order
};
using Edits = std::map<std::string, KeyEdit, std::less<>>;

// The file's bytes with the edits applied, as pieces: runs of the old bytes
// and the lines made anew, which live as long as this.
class EditedBytes
{
public:
    EditedBytes(Bytes file, const Edits &edits);

    const std::vector<Bytes> &pieces() const { return m_pieces; }
    // False when the pieces are the old bytes as they were.
    bool changesFile() const { return m_changed; }
    QByteArray joined() const;

private:
    std::deque<std::string> m_made;
    std::vector<Bytes> m_pieces;
    bool m_changed = false;
};

// The bytes hold an entry line of the key.
bool hasEntryLine(Bytes file, Bytes key);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_EDITS_H
