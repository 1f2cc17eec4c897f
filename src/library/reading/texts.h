// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Stored texts: the Latin-1 bytes of keys and items made into the QStrings
// that the store holds, many of them packed into one block.
#ifndef PLINTO_YAML_TEXTS_H
#define PLINTO_YAML_TEXTS_H

#include "lines.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// The size type of Qt's strings and lists.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using TextSize = qsizetype;
#else
using TextSize = int;
#endif

// Makes texts. On Qt 6 a short text is a view of one block of UTF-16 text
// that many texts share, as implicitly shared strings share their data: a
// block lives as long as one of its texts does, and a text that is changed
// first gets its own copy, like any shared QString. That saves a heap block
// and its header for each text, which is most of what the store takes.
class TextBlocks
{
public:
    // The bytes as Latin-1 text; never a null string, even when empty.
    QString text(Bytes bytes);
    // Each of them so, in order: an entry's items as the store holds them.
    QStringList texts(const std::vector<Bytes> &each);

private:
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QString::DataPointer m_block;    // the block being filled; its size counts the characters taken
    qsizetype m_nextBlockSize = 512; // characters; small files take small blocks
#endif
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_TEXTS_H
