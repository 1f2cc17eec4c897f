// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The layer options: each taken into a Layers as it comes.
#include "layeroptions.h"

#include <QFile>

#include <cstring>

namespace tarnwick {

namespace {

constexpr const char *withArgument[] = {"--layers", "--path", "--root", "--file", "--env"};

} // namespace

bool isLayerOption(const char *argument)
{
    for (const char *option : withArgument) {
        if (std::strcmp(argument, option) == 0)
            return true;
    }
    return std::strcmp(argument, "--user") == 0;
}

bool readLayerOptions(int argc, char *argv[], int &at, LayerOptions &options, std::string &why)
{
    for (; at < argc && isLayerOption(argv[at]); ++at) {
        const std::string option = argv[at];
        if (option == "--user") {
            options.layers.setUserLayer(true);
            continue;
        }
        if (++at == argc) {
            why = option + " needs an argument";
            return false;
        }
        const QString value = QFile::decodeName(argv[at]);
        if (QFile::encodeName(value) != QByteArray(argv[at])) {
            why = option + " " + argv[at] + ": not valid in the locale's encoding";
            return false;
        }
        if (option == "--layers") {
            options.name = value;
            options.given = true;
        } else if (option == "--path") {
            options.layers.setSearchPath(value.split(QLatin1Char(':'), Qt::SkipEmptyParts));
        } else if (option == "--root") {
            options.layers.setRoot(value);
        } else if (option == "--file") {
            options.layers.addFile(value);
            options.given = true;
        } else {
            options.layers.setEnvironmentPrefix(value);
        }
    }
    return true;
}

bool loadLayers(LayerOptions &options, std::string &why, QList<plinto::yaml::FileFindings> *findings)
{
    if (!options.given) {
        why = "--layers or --file names what to read";
        return false;
    }
    if (findings ? options.layers.load(options.name, *findings) : options.layers.load(options.name))
        return true;
    why = options.layers.errorString().toLocal8Bit().toStdString();
    return false;
}

} // namespace tarnwick
