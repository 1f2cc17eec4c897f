// The dump line: a key, its items, and their numbers as a C++ stream prints them.
#include "dump.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tarnwick {

namespace {

// Doubles hold these exactly.
constexpr double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// True when the magnitude is the double nearest to a decimal of six significant
// digits or fewer, as most numbers in entry files are: digits * 10^(exponent - 5),
// digits from 100000 to 999999. Rounding the magnitude to six digits then gives
// that decimal back, since a double is far closer to it than to any other.
bool shortDecimal(double magnitude, long &digits, int &exponent)
{
    if (!(magnitude >= 1e-16 && magnitude < 1e21)) // also zero, infinities and NaN
        return false;
    // floor(e * log10(2)) for the binary exponent e (an arithmetic shift, so
    // negative e too): the decimal exponent or one less.
    exponent = (std::ilogb(magnitude) * 78913) >> 18;
    const auto scaled = [magnitude](int shift) {
        return shift >= 0 ? magnitude * powersOfTen[shift] : magnitude / powersOfTen[-shift];
    };
    if (scaled(5 - exponent) >= 999999.5)
        ++exponent;
    const int shift = 5 - exponent;
    const double rounded = std::nearbyint(scaled(shift));
    if (rounded < 100000 || rounded > 999999)
        return false;
    digits = long(rounded);
    // Exact operands, so the result is the double nearest to the decimal.
    return (shift >= 0 ? rounded / powersOfTen[shift] : rounded * powersOfTen[-shift]) == magnitude;
}

// Lays out six significant digits as "%g" does: trailing zeros dropped, fixed
// notation for exponents from -4 to 5, else "1.5e+07".
char *layOutGeneral(char *p, long digits, int exponent)
{
    char six[6];
    std::to_chars(six, six + 6, digits);
    int last = 5; // the last digit that is not a trailing zero
    while (six[last] == '0')
        --last;
    if (exponent >= 0 && exponent < 6) { // 1234.5
        p = std::copy(six, six + exponent + 1, p);
        if (last > exponent) {
            *p++ = '.';
            p = std::copy(six + exponent + 1, six + last + 1, p);
        }
        return p;
    }
    if (exponent < 0 && exponent >= -4) { // 0.0012345
        *p++ = '0';
        *p++ = '.';
        p = std::fill_n(p, -exponent - 1, '0');
        return std::copy(six, six + last + 1, p);
    }
    *p++ = six[0]; // 1.2345e-07
    if (last > 0) {
        *p++ = '.';
        p = std::copy(six + 1, six + last + 1, p);
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    *p++ = char('0' + std::abs(exponent) / 10); // two digits: the exponent is below 100 here
    *p++ = char('0' + std::abs(exponent) % 10);
    return p;
}

} // namespace

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
    char text[32]; // "-2.22507e-308" at most
    long digits = 0;
    int exponent = 0;
    if (shortDecimal(std::fabs(value), digits, exponent)) { // the quick way, same text
        char *p = text;
        if (value < 0)
            *p++ = '-';
        out.append(text, layOutGeneral(p, digits, exponent));
        return;
    }
    out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
}

void appendDumpLine(std::string &out, const QString &key, const QStringList &items)
{
    using plinto::yaml::Reader;
    appendLatin1(out, key);
    out += " : ";
    if (items.size() <= 1) { // a list is two or more items
        if (!items.isEmpty())
            appendLatin1(out, items.first());
        out += "  - as real ";
        appendReal(out, items.isEmpty() ? 0.0 : Reader::realFromText(items.first()));
    } else {
        out += "[ ";
        for (const QString &item : items) {
            appendLatin1(out, item);
            out += ' ';
        }
        out += "] - as real [ ";
        for (const QString &item : items) {
            appendReal(out, Reader::realFromText(item));
            out += ' ';
        }
        out += ']';
    }
    out += '\n';
}

} // namespace tarnwick
