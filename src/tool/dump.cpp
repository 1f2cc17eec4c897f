// The dump line: a key, its items, and their numbers as a C++ stream prints them.
#include "dump.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarnwick {

void appendLatin1(std::string &out, const QString &text)
{
    const size_t at = out.size();
    out.resize(at + size_t(text.size()));
    char *dest = &out[at];
    for (const QChar c : text)
        *dest++ = c.unicode() > 0xff ? '?' : char(c.unicode());
}

namespace {

// A number's decimal digits: value = 0.d1d2d3... x 10^(exponent + 1).
struct Digits
{
    bool negative = false;
    char digits[24];
    int count = 0;
    int exponent = 0;
};

// Reads the scientific text that std::to_chars wrote ("-1.2345e+06").
Digits digitsOf(const char *text, const char *e, const char *end)
{
    Digits d;
    d.negative = text[0] == '-';
    for (const char *p = text + d.negative; p < e; ++p) {
        if (*p != '.')
            d.digits[d.count++] = *p;
    }
    for (const char *p = e + 2; p < end; ++p)
        d.exponent = d.exponent * 10 + (*p - '0');
    if (e[1] == '-')
        d.exponent = -d.exponent;
    return d;
}

// Rounds to six significant digits (the seventh is not a tie) and drops
// trailing zeros.
void roundToSix(Digits &d)
{
    if (d.count <= 6)
        return;
    const bool up = d.digits[6] >= '5';
    d.count = 6;
    if (up) {
        int i = d.count - 1;
        for (; i >= 0 && d.digits[i] == '9'; --i)
            d.digits[i] = '0';
        if (i < 0) { // 999999.7 becomes 1e+06
            d.digits[0] = '1';
            ++d.exponent;
        } else {
            ++d.digits[i];
        }
    }
    while (d.count > 1 && d.digits[d.count - 1] == '0')
        --d.count;
}

// Lays the digits out as "%g" does.
char *layOut(const Digits &d, char *t)
{
    if (d.negative)
        *t++ = '-';
    if (d.exponent < -4 || d.exponent >= 6) { // d.ddddde+XX
        *t++ = d.digits[0];
        if (d.count > 1) {
            *t++ = '.';
            t = std::copy(d.digits + 1, d.digits + d.count, t);
        }
        *t++ = 'e';
        *t++ = d.exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(d.exponent);
        if (magnitude >= 100)
            *t++ = char('0' + magnitude / 100);
        *t++ = char('0' + magnitude / 10 % 10);
        *t++ = char('0' + magnitude % 10);
    } else if (d.exponent < 0) { // 0.000ddd
        *t++ = '0';
        *t++ = '.';
        t = std::fill_n(t, -d.exponent - 1, '0');
        t = std::copy(d.digits, d.digits + d.count, t);
    } else if (d.count <= d.exponent + 1) { // ddd000
        t = std::copy(d.digits, d.digits + d.count, t);
        t = std::fill_n(t, d.exponent + 1 - d.count, '0');
    } else { // ddd.ddd
        t = std::copy(d.digits, d.digits + d.exponent + 1, t);
        *t++ = '.';
        t = std::copy(d.digits + d.exponent + 1, d.digits + d.count, t);
    }
    return t;
}

} // namespace

void appendReal(std::string &out, double value)
{
    // "%g" rounds the exact value to six significant digits. The shortest
    // digits that read back as the value round to the same six digits, except
    // when they end exactly on a tie (a seventh and last digit 5), where the
    // exact value decides; subnormal values, whose shortest digits can be
    // coarser than six, also take the exact conversion.
    char shortest[32]; // "-2.2250738585072014e-308" at most
    const char *end = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific).ptr;
    const char *e = static_cast<const char *>(std::memchr(shortest, 'e', size_t(end - shortest)));
    char text[32];
    if (e == nullptr) { // inf, nan
        out.append(shortest, size_t(end - shortest));
        return;
    }
    Digits digits = digitsOf(shortest, e, end);
    const bool tie = digits.count == 7 && digits.digits[6] == '5';
    if (tie || (value != 0 && std::fabs(value) < std::numeric_limits<double>::min())) {
        out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
        return;
    }
    roundToSix(digits);
    out.append(text, size_t(layOut(digits, text) - text));
}

void appendDumpLine(std::string &out, const plinto::yaml::Reader &reader, const QString &key)
{
    // The key's items tell its type (a list is two or more), so each line
    // takes two lookups: the items, then their numbers.
    const QStringList items = reader.listEntryForKey(key);
    appendLatin1(out, key);
    out += " : ";
    if (items.size() <= 1) {
        if (!items.isEmpty())
            appendLatin1(out, items.first());
        out += "  - as real ";
        appendReal(out, reader.realEntryForKey(key));
    } else {
        out += "[ ";
        for (const QString &item : items) {
            appendLatin1(out, item);
            out += ' ';
        }
        out += "] - as real [ ";
        for (const double value : reader.realVectorEntryForKey(key)) {
            appendReal(out, value);
            out += ' ';
        }
        out += ']';
    }
    out += '\n';
}

} // namespace tarnwick
