// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick: dumps every entry of an entry file, with its numeric readings.
#include "dump.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QCoreApplication>
#include <QStringList>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char versionLine[] = "tarnwick version: " TARNWICK_VERSION_STRING "\n";

[[noreturn]] void printVersion()
{
    std::exit(tarnwick::writeAll(STDOUT_FILENO, versionLine) ? EXIT_SUCCESS : EXIT_FAILURE);
}

} // namespace

[[noreturn]] void printHelp()
{
    const bool written = tarnwick::writeAll(STDOUT_FILENO, versionLine)
            && tarnwick::writeAll(STDOUT_FILENO, "tarnwick yamlFile\n");
    std::exit(written ? EXIT_SUCCESS : EXIT_FAILURE);
}

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick"));

    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    if (arguments.size() != 1 || argc != 2)
        printHelp();
    // The options; a file of such a name is read as ./--help.
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        printHelp();
    if (std::strcmp(argv[1], "--version") == 0)
        printVersion();

    const tarnwick::ArgumentFile file(argv[1]);
    plinto::yaml::Reader reader;
    if (!reader.parse(file.name())) {
        // The name exactly as it was typed, whatever its encoding.
        tarnwick::writeAll(STDERR_FILENO, std::string("Error parsing ") + argv[1]);
        return EXIT_FAILURE;
    }

    // Every key in order, as keys() lists them, each with its items.
    std::string line;
    for (auto entry = reader.entries.cbegin(); entry != reader.entries.cend(); ++entry) {
        line.clear();
        tarnwick::appendDumpLine(line, entry.key(), entry.value());
        if (!tarnwick::writeAll(STDOUT_FILENO, line))
            std::exit(EXIT_FAILURE);
    }
    // Done: the process ends without taking the store apart string by string,
    // which on a large file would take a tenth of the run.
    std::exit(EXIT_SUCCESS);
}
