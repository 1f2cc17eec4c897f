// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What the reader drops: findings about a file's lines, gathered as they are
// read, for a parse that asks for them.
#ifndef PLINTO_YAML_FINDINGS_H
#define PLINTO_YAML_FINDINGS_H

#include "syntax.h"
#include "texts.h"

#include <plinto/yaml.h>

#include <string>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

class FindingCollector
{
public:
    // Looks at the next line of the file, and at the entry it was read as
    // (nullptr for a line that is not an entry).
    void line(Bytes line, const EntryLine *entry);

    // An entry is replaced by the key's last one; entries are counted from 0,
    // in file order.
    void overridden(size_t entry, const QString &key, size_t winner);

    // Everything found, in file order: on one line, the line's own findings
    // first, then an overridden key.
    QList<Finding> take();

private:
    // A finding whose message is the one being written.
    void add(quint64 line, FindingKind kind, QString text, quint64 winningLine = 0);
    void trailingComment(const LineText &text, const EntryLine &entry);
    // The text as a finding shows it.
    QString shownText(Bytes text);
    // The line of an entry, from the lines that are not entries.
    quint64 lineOfEntry(size_t entry) const;

    quint64 m_line = 0;
    quint64 m_entries = 0;
    std::vector<quint64> m_entriesBeforeOtherLines; // for each line that is not an entry
    std::string m_message;                          // the message being written, as Latin-1 bytes
    TextBlocks m_texts;                             // messages and texts, many to a block
    QList<Finding> m_findings;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_FINDINGS_H
