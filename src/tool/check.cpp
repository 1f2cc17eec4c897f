// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-check: says what the reader drops from an entry file, or from each
// file of a configuration of several, one line per finding, as FILE:LINE:
// message, the way compilers report.
#include "dump.h"
#include "layeroptions.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr char usage[] = "tarnwick-check version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-check yamlFile\n"
                         "       tarnwick-check LAYERS\n"
                         "Reports what tarnwick drops from yamlFile, or from each file that LAYERS\n"
                         "read, or reads otherwise than YAML would: lines it skips (comment lines\n"
                         "aside), keys it overrides within a file, text cut off by a NUL byte, comment\n"
                         "lines read as entries, trailing comments kept as text; one line each, as\n"
                         "FILE:LINE: message. Exit status: 0 when there is nothing to report, 1 when\n"
                         "there is, 2 when the file or configuration cannot be read.\n" TARNWICK_LAYER_USAGE;

enum Status { Clean = 0, Findings = 1, Trouble = 2 };

[[noreturn]] void fail(const char *argument)
{
    tarnwick::writeAll(STDERR_FILENO, std::string("Error parsing ") + argument);
    std::exit(Trouble);
}

// Writes the findings of a file, each as FILE:LINE: message, in writes of
// about 64 KiB.
bool writeFindings(const std::string &fileName, const QList<plinto::yaml::Finding> &findings, std::string &out)
{
    const std::string file = fileName + ':';
    for (const plinto::yaml::Finding &finding : findings) {
        out += file;
        out += std::to_string(finding.line);
        out += ": ";
        tarnwick::appendLatin1(out, finding.message);
        out += '\n';
        if (out.size() >= (1 << 16)) {
            if (!tarnwick::writeAll(STDOUT_FILENO, out))
                return false;
            out.clear();
        }
    }
    return true;
}

// tarnwick-check LAYERS: the findings of every file read.
[[noreturn]] void checkLayers(int argc, char *argv[])
{
    int at = 1;
    tarnwick::LayerOptions options;
    QList<plinto::yaml::FileFindings> findings;
    std::string why;
    if (tarnwick::readLayerOptions(argc, argv, at, options, why) && at < argc)
        why = std::string("unexpected argument ") + argv[at];
    if (!why.empty() || !tarnwick::loadLayers(options, why, &findings)) {
        tarnwick::writeAll(STDERR_FILENO, "tarnwick-check: " + why + '\n');
        std::exit(Trouble);
    }
    std::string out;
    bool found = false;
    for (const plinto::yaml::FileFindings &file : findings) {
        found = found || !file.findings.isEmpty();
        if (!writeFindings(QFile::encodeName(file.fileName).toStdString(), file.findings, out))
            std::exit(Trouble);
    }
    std::exit(!tarnwick::writeAll(STDOUT_FILENO, out) ? Trouble : found ? Findings : Clean);
}

} // namespace

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-check"));
    if (const int status = tarnwick::answerOption(argc, argv, usage, true); status >= 0)
        return status;
    if (argc > 2 && tarnwick::isLayerOption(argv[1]))
        checkLayers(argc, argv);
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

    std::string out;
    if (!writeFindings(argv[1], findings, out) || !tarnwick::writeAll(STDOUT_FILENO, out))
        return Trouble;
    std::exit(findings.isEmpty() ? Clean : Findings); // without freeing the store, as tarnwick does
}
