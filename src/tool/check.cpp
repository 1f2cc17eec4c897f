// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-check: says what the reader drops from an entry file, one line per
// finding, as FILE:LINE: message, the way compilers report.
#include "output.h"

#include "lines.h"
#include "syntax.h"

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

using plinto::yaml::detail::Bytes;

namespace {

constexpr char usage[] = "tarnwick-check version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-check yamlFile\n"
                         "Reports each line of yamlFile that tarnwick skips or overrides, and text cut\n"
                         "off by a NUL byte, as FILE:LINE: message. Exit status: 0 when there is\n"
                         "nothing to report, 1 when there is, 2 when the file cannot be read.\n";

enum Status { Clean = 0, Findings = 1, Trouble = 2 };

// The findings of one file, collected line by line.
class Checker
{
public:
    void line(Bytes bytes)
    {
        ++m_lineNumber;
        const plinto::yaml::detail::LineText text = plinto::yaml::detail::lineText(bytes);
        if (text.nul)
            add("text after a NUL byte is ignored");
        if (plinto::yaml::detail::readEntry(bytes, m_entry)) {
            const auto seen = m_lastLine.try_emplace(std::string(m_entry.key), m_lineNumber);
            if (!seen.second) { // reported at the earlier line, once the winner is known
                m_findings.push_back({seen.first->second, m_findings.size(), &*seen.first, {}});
                seen.first->second = m_lineNumber;
            }
        } else if (const char *why = plinto::yaml::detail::whySkipped(bytes)) {
            add(std::string("not an entry (") + why + "): " + shown(text.text));
        }
    }

    // FILE:LINE: message lines, in file order.
    std::vector<std::string> report(const char *fileName)
    {
        std::stable_sort(m_findings.begin(), m_findings.end(), [](const Finding &a, const Finding &b) {
            return a.line != b.line ? a.line < b.line : a.order < b.order;
        });
        std::vector<std::string> lines;
        lines.reserve(m_findings.size());
        for (const Finding &finding : m_findings) {
            std::string message = finding.message;
            if (finding.key != nullptr)
                message = "key \"" + shown(finding.key->first) + "\" is overridden by line "
                        + std::to_string(finding.key->second);
            lines.push_back(std::string(fileName) + ':' + std::to_string(finding.line) + ": " + message + '\n');
        }
        return lines;
    }

private:
    using KeyLines = std::unordered_map<std::string, quint64>; // key to the last line that holds it

    struct Finding
    {
        quint64 line;
        size_t order;
        const KeyLines::value_type *key; // an overridden key, or nullptr
        std::string message;
    };

    void add(std::string message)
    {
        m_findings.push_back({m_lineNumber, m_findings.size(), nullptr, std::move(message)});
    }

    // Text as it stands in the file, cut short where it is long.
    static std::string shown(Bytes text)
    {
        constexpr size_t limit = 60;
        return text.size() <= limit ? std::string(text) : std::string(text.substr(0, limit)) + "...";
    }

    quint64 m_lineNumber = 0;
    plinto::yaml::detail::EntryLine m_entry;
    KeyLines m_lastLine;
    std::vector<Finding> m_findings;
};

[[noreturn]] void fail(const char *argument)
{
    tarnwick::writeAll(STDERR_FILENO, std::string("Error parsing ") + argument);
    std::exit(Trouble);
}

} // namespace

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-check"));
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return tarnwick::writeAll(STDOUT_FILENO, usage) ? Clean : Trouble;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return tarnwick::writeAll(STDOUT_FILENO, Bytes(usage, std::strchr(usage, '\n') + 1 - usage)) ? Clean : Trouble;
    if (argc != 2) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }

    // Read as Reader::parse reads it, through the same stages.
    const tarnwick::ArgumentFile argument(argv[1]);
    Checker checker;
    if (!plinto::yaml::detail::readFileLines(argument.name(), [&checker](Bytes line) { checker.line(line); }))
        fail(argv[1]);

    std::string out;
    const std::vector<std::string> lines = checker.report(argv[1]);
    for (const std::string &line : lines) {
        out += line;
        if (out.size() >= (1 << 16)) {
            if (!tarnwick::writeAll(STDOUT_FILENO, out))
                return Trouble;
            out.clear();
        }
    }
    if (!tarnwick::writeAll(STDOUT_FILENO, out))
        return Trouble;
    std::exit(lines.empty() ? Clean : Findings); // without freeing what was kept, as tarnwick does
}
