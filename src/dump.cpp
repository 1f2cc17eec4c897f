#include "dump.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <cstring>

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
    // The shortest digits that read back as the value are also what rounding
    // to six digits gives, when there are at most six of them; then only the
    // layout of "%g" is left to do. Longer ones, and subnormal values (whose
    // shortest digits can be coarser than six), take the full conversion.
    char shortest[32]; // "-2.2250738585072014e-308" at most
    const char *end = std::to_chars(shortest, shortest + sizeof shortest, value,
                                    std::chars_format::scientific).ptr;
    const char *e = static_cast<const char *>(std::memchr(shortest, 'e', size_t(end - shortest)));
    if (e == nullptr) { // inf, nan
        out.append(shortest, size_t(end - shortest));
        return;
    }
    const char *p = shortest;
    const bool negative = *p == '-';
    p += negative;
    char digits[17];
    int count = 0;
    for (; p < e; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    if (count > 6 || (value != 0 && std::fabs(value) < std::numeric_limits<double>::min())) {
        char text[32];
        out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
        return;
    }
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    if (exponent < -4 || exponent >= 6) {
        out.append(shortest, size_t(end - shortest)); // "d.ddde+XX" is already the layout of "%g"
        return;
    }
    if (negative)
        out += '-';
    if (exponent < 0) {
        out += "0.";
        out.append(size_t(-exponent - 1), '0');
        out.append(digits, size_t(count));
    } else if (count <= exponent + 1) {
        out.append(digits, size_t(count));
        out.append(size_t(exponent + 1 - count), '0');
    } else {
        out.append(digits, size_t(exponent + 1));
        out += '.';
        out.append(digits + exponent + 1, size_t(count - exponent - 1));
    }
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
