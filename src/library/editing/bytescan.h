// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A body's bytes looked at many at a time, for the scanner of value lines:
// the first of some bytes, the line feeds one after another, and the lines
// that nothing needs to be read of.
#ifndef PLINTO_YAML_BYTESCAN_H
#define PLINTO_YAML_BYTESCAN_H

#include "reading/lines.h"

#include <QtGlobal>

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace plinto {
namespace yaml {
namespace detail {

// The first of the bytes C from data on, or end: sixteen bytes at a time
// where the processor can.
template <char... C>
const char *findAny(const char *data, const char *end)
{
#ifdef __SSE2__
    for (; end - data >= 16; data += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data));
        const int found = _mm_movemask_epi8((_mm_cmpeq_epi8(block, _mm_set1_epi8(C)) | ...));
        if (found != 0)
            return data + __builtin_ctz(unsigned(found));
    }
#endif
    for (; data < end; ++data) {
        if (((*data == C) || ...))
            return data;
    }
    return end;
}

// The line feeds of a body, one after another: found 64 bytes at a time.
class LineFeeds
{
public:
    explicit LineFeeds(Bytes body) : m_body(body) { }

    // The offset of the first line feed at or after from, or the body's
    // size; from never goes back.
    size_t next(size_t from)
    {
        for (;;) {
            if (m_loaded && from >= m_block && from < m_block + 64) {
                const quint64 ahead = m_mask & (~quint64(0) << (from - m_block));
                if (ahead != 0)
                    return m_block + size_t(__builtin_ctzll(ahead));
                from = m_block + 64;
            }
            if (from >= m_body.size())
                return m_body.size();
            m_block = from & ~size_t(63);
            m_mask = lineFeedsAt(m_block);
            m_loaded = true;
        }
    }

private:
    quint64 lineFeedsAt(size_t block) const
    {
        const size_t size = std::min<size_t>(64, m_body.size() - block);
        quint64 mask = 0;
#ifdef __SSE2__
        if (size == 64) {
            const __m128i lineFeed = _mm_set1_epi8('\n');
            for (int i = 0; i < 4; ++i) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_body.data() + block) + i);
                mask |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)))) << (16 * i);
            }
            return mask;
        }
#endif
        for (size_t i = 0; i < size; ++i)
            mask |= quint64(m_body[block + i] == '\n') << i;
        return mask;
    }

    Bytes m_body;
    bool m_loaded = false;
    size_t m_block = 0; // the block that the mask is of
    quint64 m_mask = 0;
};

// A line that nothing needs to be read of while nothing is open: it starts a
// plain key at the margin, and holds no quote, comment, block scalar
// indicator, anchor, tag or alias (nor, to look at fewer bytes, a '$', '%',
// '(' or ')'), and of brackets and braces at most one pair, in order, so that
// it opens nothing that goes on over its end. The text is a line of a body
// that ends at end; it may be looked at past its line feed.
bool isPlainLine(Bytes text, const char *end);

// Passes over the plain lines from start, a line start, on (see
// isPlainLine), up to limit, reading the body 64 bytes at a time. Returns the
// line start where it stopped: a line that must be read, limit, or the last
// line, which is left to isPlainLine. last is the start of the last line
// passed (where count, the lines passed, is not 0).
size_t passPlainLines(Bytes body, size_t start, size_t limit, size_t &last, size_t &count);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_BYTESCAN_H
