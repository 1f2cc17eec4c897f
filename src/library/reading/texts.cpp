// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Stored texts: Latin-1 bytes to QStrings, packed into shared blocks.
#include "texts.h"

#include <algorithm>
#include <new>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

QString ownText(Bytes bytes)
{
    if (bytes.empty())
        return QString(QLatin1String(""));
    return QString::fromLatin1(bytes.data(), TextSize(bytes.size()));
}

} // namespace

QStringList TextBlocks::texts(const std::vector<Bytes> &each)
{
    QStringList texts;
    texts.reserve(TextSize(each.size()));
    for (const Bytes bytes : each)
        texts.append(text(bytes));
    return texts;
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

QString TextBlocks::text(Bytes bytes)
{
    constexpr qsizetype longestShared = 256; // longer texts get blocks of their own
    constexpr qsizetype largestBlock = 16384;
    const qsizetype size = qsizetype(bytes.size());
    if (size >= longestShared)
        return ownText(bytes);
    if (m_block.freeSpaceAtEnd() < size + 1) {
        // The full block stays alive as long as the texts taken from it.
        auto [header, data] = QTypedArrayData<char16_t>::allocate(m_nextBlockSize);
        if (!header)
            throw std::bad_alloc();
        m_block = QString::DataPointer(header, data, 0);
        m_nextBlockSize = std::min(m_nextBlockSize * 2, largestBlock);
    }
    char16_t *const begin = m_block.data() + m_block.size;
    for (qsizetype i = 0; i < size; ++i)
        begin[i] = quint8(bytes[size_t(i)]); // a Latin-1 byte is its own code point
    begin[size] = u'\0';                     // QString's data ends in a NUL
    m_block.size += size + 1;
    QString::DataPointer piece(m_block.d_ptr(), begin, size);
    piece.ref();
    return QString(std::move(piece));
}

#else

// Qt 5 keeps a string's size in the header of its data, so each text has its own.
QString TextBlocks::text(Bytes bytes)
{
    return ownText(bytes);
}

#endif

} // namespace detail
} // namespace yaml
} // namespace plinto
