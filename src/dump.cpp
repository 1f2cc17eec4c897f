#include "dump.h"

#include <charconv>
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
    char text[32]; // "-2.22507e-308" at most
    const auto result = std::to_chars(text, text + sizeof text, value,
                                      std::chars_format::general, 6);
    out.append(text, result.ptr);
}

void appendDumpLine(std::string &out, const plinto::yaml::Reader &reader, const QString &key)
{
    appendLatin1(out, key);
    out += " : ";
    if (reader.entryTypeForKey(key) == plinto::yaml::SingleEntry) {
        appendLatin1(out, reader.entryForKey(key));
        out += "  - as real ";
        appendReal(out, reader.realEntryForKey(key));
    } else {
        out += "[ ";
        for (const QString &item : reader.listEntryForKey(key)) {
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
