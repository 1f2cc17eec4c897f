// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What the reader drops: findings about a file's lines, gathered as they are
// read, for a parse that asks for them.
#ifndef PLINTO_YAML_FINDINGS_H
#define PLINTO_YAML_FINDINGS_H

#include "syntax.h"

#include <plinto/yaml.h>

namespace plinto {
namespace yaml {
namespace detail {

class FindingCollector
{
public:
    // Looks at the next line of the file, and at the entry it was read as
    // (nullptr for a line that is not an entry).
    void line(Bytes line, const EntryLine *entry);

    // The number of the line looked at last, counted from 1.
    quint64 lineNumber() const { return m_line; }

    // The entry on the line is replaced by the key's last line.
    void overridden(quint64 line, const QString &key, quint64 winningLine);

    // Everything found, in file order: on one line, the line's own findings
    // first, then an overridden key.
    QList<Finding> take();

private:
    void add(quint64 line, FindingKind kind, const QString &text, const QString &message, quint64 winningLine = 0);
    void trailingComment(const LineText &text, const EntryLine &entry);

    quint64 m_line = 0;
    QList<Finding> m_findings;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_FINDINGS_H
