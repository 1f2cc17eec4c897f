// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The dump format, written with the standard library alone, for the peers
// that tarnwick is timed against. Each line is flushed, as tarnwick does.
#ifndef PEER_DUMP_LINE_H
#define PEER_DUMP_LINE_H

#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

using Store = std::map<std::string, std::vector<std::string>>;

// The whole text as a number, or 0 when it is not one.
inline double peerReal(const std::string &text)
{
    if (text.empty())
        return 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' ? value : 0;
}

// "key : [ a b ] - as real [ 1 2 ]" or "key : text  - as real 1".
inline void writeStore(std::ostream &out, const Store &store)
{
    for (const auto &[key, items] : store) {
        out << key << " : ";
        if (items.size() <= 1) {
            const std::string text = items.empty() ? std::string() : items.front();
            out << text << "  - as real " << peerReal(text);
        } else {
            out << "[ ";
            for (const std::string &item : items)
                out << item << ' ';
            out << "] - as real [ ";
            for (const std::string &item : items)
                out << peerReal(item) << ' ';
            out << ']';
        }
        out << '\n' << std::flush;
    }
}

inline std::string trimmedText(const std::string &text)
{
    const char *space = " \t\r\n";
    const size_t begin = text.find_first_not_of(space);
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

// A value's items: "[a, b]" gives a and b, anything else is one item.
inline std::vector<std::string> peerItems(const std::string &value)
{
    if (value.size() < 2 || value.front() != '[' || value.back() != ']')
        return {value};
    std::vector<std::string> items;
    size_t start = 1;
    for (;;) {
        const size_t comma = value.find(',', start);
        const size_t end = comma == std::string::npos ? value.size() - 1 : comma;
        if (end > start)
            items.push_back(trimmedText(value.substr(start, end - start)));
        if (comma == std::string::npos)
            return items;
        start = comma + 1;
    }
}

#endif
