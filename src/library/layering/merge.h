// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The files of a configuration parsed one after the other into one store, as
// Reader::parse adds a file to a store, with the file and line each key's
// items come from.
#ifndef PLINTO_YAML_MERGE_H
#define PLINTO_YAML_MERGE_H

#include "search.h"

#include <plinto/yaml.h>

#include <QMap>
#include <QStringList>

#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// Where a key's items come from: a file read (source is its index) and the
// line, counted from 1; or, where source is past the files, a variable.
struct KeyOrigin
{
    QString key;
    quint32 source = 0;
    qint64 line = 0;
};

struct MergedLayers
{
    QMap<QString, QStringList> entries;
    std::vector<KeyOrigin> origins; // one per key, in key order
};

// Reads the files in order into merged (which starts empty). findings, where
// given, gets what a parse of each file alone finds, a list per file. False,
// with why naming the file, where one cannot be read: a file found in a
// folder must be a regular file or the null device, and is opened without
// waiting; a file given is read as Reader::parse reads it (a pipe too).
bool mergeFiles(const std::vector<LayerFile> &files, MergedLayers &merged, QString &why,
                std::vector<QList<Finding>> *findings = nullptr);

// The origin of the key, or null.
KeyOrigin *findOrigin(std::vector<KeyOrigin> &origins, const QString &key);
const KeyOrigin *findOrigin(const std::vector<KeyOrigin> &origins, const QString &key);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_MERGE_H
