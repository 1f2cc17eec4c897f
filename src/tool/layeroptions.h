// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The layer options that the commands take in place of a FILE: which
// configuration of several files to read, and how.
#ifndef TARNWICK_LAYEROPTIONS_H
#define TARNWICK_LAYEROPTIONS_H

#include <plinto/yaml.h>

#include <string>

// The options as each command's usage lists them.
#define TARNWICK_LAYER_USAGE                                                                                           \
    "LAYERS, in place of FILE (at least --layers or one --file):\n"                                                    \
    "  --layers NAME  the configuration NAME (robot/params.yaml): NAME in the highest\n"                               \
    "                 search folder that holds it, then the NAME.d/*.yaml drop-ins of\n"                               \
    "                 every folder in the byte order of their names\n"                                                 \
    "  --path DIRS    the search folders, colon-separated, highest first\n"                                            \
    "                 (default /etc:/run:/usr/local/lib:/usr/lib)\n"                                                   \
    "  --root DIR     DIR put in front of every search folder and the user's\n"                                        \
    "  --user         then the user's $XDG_CONFIG_HOME/NAME (~/.config/NAME) and drop-ins\n"                           \
    "  --file FILE    then FILE (repeatable, in order)\n"                                                              \
    "  --env PREFIX   then, for each key K held, the variable PREFIX and K upper-cased\n"                              \
    "                 with every character but A-Z and 0-9 written _\n"

namespace tarnwick {

// Whether the argument is one of the layer options.
bool isLayerOption(const char *argument);

struct LayerOptions
{
    plinto::yaml::Layers layers;
    QString name;       // --layers, or empty
    bool given = false; // --layers or --file was given
};

// Reads the layer options from argv[at] on, as long as they come, leaving at
// at the first argument that is not one. False, with why, where one lacks its
// argument or an argument cannot be taken (not valid in the locale's encoding).
bool readLayerOptions(int argc, char *argv[], int &at, LayerOptions &options, std::string &why);

// Loads the configuration that the options name, with findings where asked.
// False, with why, where they name none or it cannot be loaded.
bool loadLayers(LayerOptions &options, std::string &why, QList<plinto::yaml::FileFindings> *findings = nullptr);

} // namespace tarnwick

#endif // TARNWICK_LAYEROPTIONS_H
