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
    if (e == nullptr) { // inf, nan
        out.append(shortest, size_t(end - shortest));
        return;
    }
    const bool negative = shortest[0] == '-';
    char digits[24];
    int count = 0;
    for (const char *p = shortest + negative; p < e; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    const bool tie = count == 7 && digits[6] == '5';
    if (tie || (value != 0 && std::fabs(value) < std::numeric_limits<double>::min())) {
        char text[32];
        out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
        return;
    }
    int exponent = 0;
    for (const char *p = e + 2; p < end; ++p)
        exponent = exponent * 10 + (*p - '0');
    if (e[1] == '-')
        exponent = -exponent;
    if (count > 6) { // not a tie: the seventh digit rounds
        const bool up = digits[6] >= '5';
        count = 6;
        if (up) {
            int i = count - 1;
            for (; i >= 0 && digits[i] == '9'; --i)
                digits[i] = '0';
            if (i < 0) { // 999999.7 becomes 1e+06
                digits[0] = '1';
                ++exponent;
            } else {
                ++digits[i];
            }
        }
        while (count > 1 && digits[count - 1] == '0')
            --count;
    }

    char text[32];
    char *t = text;
    if (negative)
        *t++ = '-';
    if (exponent < -4 || exponent >= 6) { // d.ddddde+XX
        *t++ = digits[0];
        if (count > 1) {
            *t++ = '.';
            t = std::copy(digits + 1, digits + count, t);
        }
        *t++ = 'e';
        *t++ = exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude >= 100)
            *t++ = char('0' + magnitude / 100);
        *t++ = char('0' + magnitude / 10 % 10);
        *t++ = char('0' + magnitude % 10);
    } else if (exponent < 0) { // 0.000ddd
        *t++ = '0';
        *t++ = '.';
        t = std::fill_n(t, -exponent - 1, '0');
        t = std::copy(digits, digits + count, t);
    } else if (count <= exponent + 1) { // ddd000
        t = std::copy(digits, digits + count, t);
        t = std::fill_n(t, exponent + 1 - count, '0');
    } else { // ddd.ddd
        t = std::copy(digits, digits + exponent + 1, t);
        *t++ = '.';
        t = std::copy(digits + exponent + 1, digits + count, t);
    }
    out.append(text, size_t(t - text));
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
