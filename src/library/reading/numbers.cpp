// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Text to number: plain decimals the quick way, everything else as
// QString::toDouble reads it; whole numbers digit by digit; yes or no.
#include "numbers.h"

#include <algorithm>
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

bool readReal(const QString &text, double &value)
{
    double read = 0;
    if (plainDecimal(text, read)) {
        value = read;
        return true;
    }
    if (!mayBeNumber(text))
        return false;
    bool ok = false;
    read = text.toDouble(&ok);
    if (ok)
        value = read;
    return ok;
}

double toReal(const QString &text)
{
    double value = 0.0;
    return readReal(text, value) ? value : 0.0;
}

bool readInteger(const QString &text, qint64 &value)
{
    const QChar *c = text.constData();
    const QChar *const end = c + text.size();
    const bool negative = c != end && *c == QLatin1Char('-');
    if (c != end && (*c == QLatin1Char('-') || *c == QLatin1Char('+')))
        ++c;
    if (c == end)
        return false;
    // The magnitude, up to 2^63 for a negative number and 2^63 - 1 otherwise.
    const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    quint64 magnitude = 0;
    for (; c != end; ++c) {
        const char16_t u = c->unicode();
        if (u < u'0' || u > u'9')
            return false;
        const unsigned digit = u - u'0';
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative)
        value = qint64(magnitude);
    else
        value = magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    return true;
}

bool readYesOrNo(const QString &text, bool &value)
{
    const auto spelledAs = [&text](std::initializer_list<const char *> spellings) {
        return std::any_of(spellings.begin(), spellings.end(),
                           [&text](const char *spelling) { return text == QLatin1String(spelling); });
    };
    if (spelledAs({"true", "True", "TRUE"}))
        value = true;
    else if (spelledAs({"false", "False", "FALSE"}))
        value = false;
    else
        return false;
    return true;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
