// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Text to number: plain decimals the quick way, everything else as
// QString::toDouble reads it.
#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// Plain decimal text ("-12.5e3"), short enough for one conversion: converted
// with from_chars, which rounds exactly as QString::toDouble does. Anything
// else, and any result out of range, is left to QString::toDouble.
bool plainDecimal(const QString &text, double &value)
{
    constexpr qsizetype maxLength = 64;
    const qsizetype length = text.size();
    if (length == 0 || length > maxLength)
        return false;
    char ascii[maxLength];
    const QChar *chars = text.constData();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = chars[i].unicode();
        if (c > 0x7f)
            return false;
        ascii[i] = char(c);
    }
    const char *p = ascii;
    const char *end = ascii + length;
    const auto digits = [&p, end] {
        const char *from = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        return p > from;
    };
    if (*p == '-')
        ++p;
    if (!digits())
        return false;
    if (p < end && *p == '.') {
        ++p;
        if (!digits())
            return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        if (!digits())
            return false;
    }
    if (p != end)
        return false;
    const auto result = std::from_chars(ascii, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value)
            && (value == 0 || std::fabs(value) >= std::numeric_limits<double>::min());
}

// False when the text holds an ASCII character that never stands in a number
// that QString::toDouble accepts (anything but white space, digits, signs,
// the point, exponents and the letters of "inf", "infinity" and "nan"), so
// words skip the full conversion.
bool mayBeNumber(const QString &text)
{
    static constexpr char allowed[] = "\t\n\v\f\r +-.0123456789eEiInNfFaAtTyY";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 && std::memchr(allowed, int(u), sizeof allowed - 1) == nullptr)
            return false;
    }
    return !text.isEmpty();
}

} // namespace

double toReal(const QString &text)
{
    double value = 0;
    if (plainDecimal(text, value))
        return value;
    if (!mayBeNumber(text))
        return 0.0;
    bool ok = false;
    value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
