// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The lines that nothing needs to be read of: each byte classed, sixteen at a
// time where the processor can, as a plain line may or may not hold it.
#include "bytescan.h"

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// Bytes that may start a plain key at the margin of a plain line.
struct PlainStarts
{
    constexpr PlainStarts()
    {
        for (int c = 0; c < 256; ++c)
            start[c] = c > ' ' && c != 0x7f;
        for (const char *c = "-?:,[]{}#&*!|>'\"%@`"; *c; ++c)
            start[static_cast<unsigned char>(*c)] = false;
    }
    bool start[256] = {};
};
constexpr PlainStarts plainStarts;

#ifdef __SSE2__
// Of sixteen bytes, as bit masks: those that a plain line holds none of ('!'
// to '*', '>', '|'), and its opening and closing brackets and braces.
struct PlainClasses
{
    unsigned stops;
    unsigned opens;
    unsigned closes;
};

PlainClasses plainClasses(__m128i bytes)
{
    const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8('!')); // ! " # $ % & ' ( ) *: nine after '!'
    const __m128i stops = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(9)), offset)
            | _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>')) | _mm_cmpeq_epi8(bytes, _mm_set1_epi8('|'));
    const __m128i folded = _mm_or_si128(bytes, _mm_set1_epi8(0x20)); // '[' and '{', ']' and '}' differ by it
    return PlainClasses{unsigned(_mm_movemask_epi8(stops)),
                        unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(folded, _mm_set1_epi8('{')))),
                        unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(folded, _mm_set1_epi8('}'))))};
}
#endif

} // namespace

bool isPlainLine(Bytes text, const char *end)
{
    if (text.empty() || !plainStarts.start[static_cast<unsigned char>(text[0])])
        return false;
    size_t open = Bytes::npos;
    size_t close = Bytes::npos;
    size_t i = 0;
#ifdef __SSE2__
    for (; i < text.size() && end - (text.data() + i) >= 16; i += 16) {
        const PlainClasses classes = plainClasses(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i)));
        unsigned found = classes.stops;
        unsigned opens = classes.opens;
        unsigned closes = classes.closes;
        if (text.size() - i < 16) {
            const unsigned inLine = (1u << (text.size() - i)) - 1;
            found &= inLine;
            opens &= inLine;
            closes &= inLine;
        }
        if (found != 0)
            return false;
        if ((opens | closes) == 0)
            continue;
        // One of each at most, over the whole line.
        if ((opens & (opens - 1)) != 0 || (closes & (closes - 1)) != 0 || (opens != 0 && open != Bytes::npos)
            || (closes != 0 && close != Bytes::npos))
            return false;
        if (opens != 0)
            open = i + size_t(__builtin_ctz(opens));
        if (closes != 0)
            close = i + size_t(__builtin_ctz(closes));
    }
#endif
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= '!' && c <= '*') || c == '>' || c == '|')
            return false;
        if (c == '[' || c == '{') {
            if (open != Bytes::npos)
                return false;
            open = i;
        } else if (c == ']' || c == '}') {
            if (close != Bytes::npos)
                return false;
            close = i;
        }
    }
    return open == close || (open != Bytes::npos && close != Bytes::npos && open < close);
}

size_t passPlainLines(Bytes body, size_t start, size_t limit, size_t &last, size_t &count)
{
    count = 0;
#ifdef __SSE2__
    const __m128i lineFeed = _mm_set1_epi8('\n');
    size_t line = start; // the line being read, and its brackets and braces so far
    int opened = 0;
    int closed = 0;
    size_t openAt = 0;
    size_t closeAt = 0;
    if (!plainStarts.start[static_cast<unsigned char>(body[line])])
        return line;
    for (size_t block = start & ~size_t(63); body.size() - block >= 64; block += 64) {
        quint64 lineFeeds = 0;
        quint64 stops = 0;
        quint64 opens = 0;
        quint64 closes = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(body.data() + block) + i);
            const PlainClasses classes = plainClasses(bytes);
            stops |= quint64(classes.stops) << (16 * i);
            opens |= quint64(classes.opens) << (16 * i);
            closes |= quint64(classes.closes) << (16 * i);
            lineFeeds |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)))) << (16 * i);
        }
        quint64 rest = ~quint64(0) << (line > block ? line - block : 0); // from the line's start or the block's on
        for (;;) {
            const quint64 feeds = lineFeeds & rest;
            const quint64 upTo = feeds != 0 ? feeds ^ (feeds - 1) : ~quint64(0); // to the line feed, or on
            const quint64 part = upTo & rest;
            if ((stops & part) != 0)
                return line;
            if (const quint64 open = opens & part) { // one, or more (two will do)
                openAt = opened == 0 ? block + size_t(__builtin_ctzll(open)) : openAt;
                opened += (open & (open - 1)) == 0 ? 1 : 2;
            }
            if (const quint64 close = closes & part) {
                closeAt = closed == 0 ? block + size_t(__builtin_ctzll(close)) : closeAt;
                closed += (close & (close - 1)) == 0 ? 1 : 2;
            }
            if (feeds == 0)
                break; // the line goes on in the next block
            // Of brackets and braces, one pair at most, in order.
            if ((opened != 0 || closed != 0) && !(opened == 1 && closed == 1 && openAt < closeAt))
                return line;
            last = line;
            ++count;
            line = block + size_t(__builtin_ctzll(feeds)) + 1;
            opened = closed = 0;
            if (line >= limit || !plainStarts.start[static_cast<unsigned char>(body[line])])
                return line;
            rest &= ~upTo;
        }
    }
#else
    Q_UNUSED(body);
    Q_UNUSED(limit);
    Q_UNUSED(last);
#endif
    return line;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
