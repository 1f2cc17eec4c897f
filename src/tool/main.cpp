// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick: dumps every entry of an entry file, or of a configuration of
// several, with its numeric readings.
#include "dump.h"
#include "layeroptions.h"
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

// Writes every key in order, as keys() lists them, each with its items; ends
// the process without taking the store apart string by string, which on a
// large file would take a tenth of the run.
[[noreturn]] void dump(const plinto::yaml::Reader &reader)
{
    std::string line;
    for (auto entry = reader.entries.cbegin(); entry != reader.entries.cend(); ++entry) {
        line.clear();
        tarnwick::appendDumpLine(line, entry.key(), entry.value());
        if (!tarnwick::writeAll(STDOUT_FILENO, line))
            std::exit(EXIT_FAILURE);
    }
    std::exit(EXIT_SUCCESS);
}

// tarnwick LAYERS: the merged store of a configuration of several files.
[[noreturn]] void dumpLayers(int argc, char *argv[])
{
    constexpr int trouble = 2;
    int at = 1;
    tarnwick::LayerOptions options;
    std::string why;
    if (tarnwick::readLayerOptions(argc, argv, at, options, why) && at < argc)
        why = std::string("unexpected argument ") + argv[at];
    if (!why.empty() || !tarnwick::loadLayers(options, why)) {
        tarnwick::writeAll(STDERR_FILENO, "tarnwick: " + why + '\n');
        std::exit(trouble);
    }
    dump(options.layers.reader());
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

    // The layer options, where they come first and something follows.
    if (argc > 2 && tarnwick::isLayerOption(argv[1]))
        dumpLayers(argc, argv);
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

    dump(reader);
}
