// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-check: says what the reader drops from an entry file, one line per
// finding, as FILE:LINE: message, the way compilers report.
#include "dump.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QCoreApplication>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr char usage[] = "tarnwick-check version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-check yamlFile\n"
                         "Reports what tarnwick drops from yamlFile, or reads otherwise than YAML\n"
                         "would: lines it skips (comment lines aside), keys it overrides, text cut off\n"
                         "by a NUL byte, comment lines read as entries, trailing comments kept as\n"
                         "text; one line each, as FILE:LINE: message. Exit status: 0 when there is\n"
                         "nothing to report, 1 when there is, 2 when the file cannot be read.\n";

enum Status { Clean = 0, Findings = 1, Trouble = 2 };

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
    if (const int status = tarnwick::answerOption(argc, argv, usage, true); status >= 0)
        return status;
    if (argc != 2) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }

    // Read as tarnwick reads it, with what the reader found on the way.
    const tarnwick::ArgumentFile argument(argv[1]);
    plinto::yaml::Reader reader;
    QList<plinto::yaml::Finding> findings;
    if (!reader.parse(argument.name(), findings))
        fail(argv[1]);

    const std::string file = std::string(argv[1]) + ':';
    std::string out;
    for (const plinto::yaml::Finding &finding : findings) {
        out += file;
        out += std::to_string(finding.line);
        out += ": ";
        tarnwick::appendLatin1(out, finding.message);
        out += '\n';
        if (out.size() >= (1 << 16)) {
            if (!tarnwick::writeAll(STDOUT_FILENO, out))
                return Trouble;
            out.clear();
        }
    }
    if (!tarnwick::writeAll(STDOUT_FILENO, out))
        return Trouble;
    std::exit(findings.isEmpty() ? Clean : Findings); // without freeing the store, as tarnwick does
}
