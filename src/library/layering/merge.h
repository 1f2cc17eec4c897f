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

// Where an entry's items come from, in eight bytes: a file read (source is
// its index) and the line, counted from 1; or, where source is past the
// files, a variable (line 0).
class Place
{
public:
    Place(quint32 source, qint64 line) : m_packed(quint64(source) << 40 | (quint64(line) & lineMask)) { }
    quint32 source() const { return quint32(m_packed >> 40); }
    qint64 line() const { return qint64(m_packed & lineMask); }

private:
    static constexpr quint64 lineMask = (quint64(1) << 40) - 1;
    quint64 m_packed;
};

struct KeyOrigin
{
    QString key;
    Place place;
};

// What makes a file a mask.
enum class Mask : char { None, Empty, NullDevice };

struct MergedLayers
{
    QMap<QString, QStringList> entries;
    std::vector<KeyOrigin> origins; // one per key, in key order
    std::vector<Mask> masks;        // for each file, whether it masks, and so was not read
};

// Reads the files in order into merged (which starts empty). A main file or
// drop-in that is empty or the null device masks, and is not read. findings,
// where given, gets what a parse of each file alone finds, a list per file.
// False, with why naming the file, where one cannot be read: a file found in
// a folder must be a regular file or the null device, and is opened without
// waiting; a file given is read as Reader::parse reads it (a pipe too).
bool mergeFiles(const std::vector<LayerFile> &files, MergedLayers &merged, QString &why,
                std::vector<QList<Finding>> *findings = nullptr);

// Reads the file whole, as mergeFiles opens it, into memory of its size (a
// mask's bytes empty). False, with why naming the file, where it cannot be.
bool readFile(const LayerFile &file, QByteArray &bytes, Mask &mask, QString &why);

// The origin of the key, or null.
const KeyOrigin *findOrigin(const std::vector<KeyOrigin> &origins, const QString &key);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_MERGE_H
