// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Where a change of a layered configuration goes: the file, in the folder
// written, from which the key's value will show, never one that hides another
// file whole; and why a change cannot show, where a later layer would keep
// its own value.
#ifndef PLINTO_YAML_PLACEMENT_H
#define PLINTO_YAML_PLACEMENT_H

#include "merge.h"
#include "search.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// A configuration's files, read as placing a change needs them (from the last
// on, to the one the key's value comes from), kept once read.
struct LayeredFiles
{
    SearchPlan plan;
    OpenFolders folders;          // that the drop-ins are opened in
    std::vector<LayerFile> files; // in the order read
    std::vector<QByteArray> bytes;
    std::vector<Mask> masks;
    std::vector<bool> read;
    std::map<QByteArray, QByteArray> variables; // those with the prefix
    QByteArray prefix;
    bool user = false; // the folder written is the user's, not the top search folder
};

struct Placement
{
    QString refusal;                 // why the change cannot show; empty where it can
    bool failed = false;             // refused for a file that cannot be read
    QByteArray file;                 // a set: the file to write
    bool created = false;            // it does not exist yet (nor, perhaps, its folder)
    std::vector<QByteArray> removal; // a remove: the files to take the key out of
};

// Where a set of the key goes: into, where given, else the file of the
// folder written whose line the value comes from, else the folder's main
// file where it is read and nothing after it holds the key, else a new
// drop-in "override" with NAME's suffix ("override_2", ... where a lower
// folder has a drop-in of that name). Refused where a file read after it, or
// a variable, would still hold the key.
Placement placeSet(LayeredFiles &config, const QByteArray &key, const QByteArray &into);

// The files of the folder written (or into, where given) that hold the key;
// refused where the value comes from a later file or a variable, or where
// none holds it.
Placement placeRemove(LayeredFiles &config, const QByteArray &key, const QByteArray &into);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_PLACEMENT_H
