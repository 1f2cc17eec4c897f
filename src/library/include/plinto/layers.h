// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Layers: a configuration made of several entry files, read the way system
// configuration is read (UAPI.6), and where each value came from;
// LayersEditor: changes to one, written where they show. Included by
// <plinto/yaml.h>.
//
// A configuration has a NAME, a relative path such as "robot/params.yaml",
// and search folders, highest precedence first (/etc, /run, /usr/local/lib,
// /usr/lib by default). Its files are read in this order, one after the
// other into one store, a later line of a key winning as in one file:
//
//   1. The main file: NAME in the highest folder that holds it; the same NAME
//      in lower folders is overridden whole and not read. Where that file is
//      empty or a symbolic link to /dev/null, it masks: no main file is read.
//   2. The drop-ins: the files of every folder's NAME.d/ whose names end in
//      NAME's suffix (".yaml" for "params.yaml", and where NAME has none) and
//      do not begin with a dot ("x.yml", "a.yaml~", ".a.yaml", folders are not
//      read). Of drop-ins of the same name the highest folder's wins, and an
//      empty one or a link to /dev/null masks the name. All are read in the
//      byte order of their names, whatever folder each is in (never the
//      locale's order), and a masked main file does not stop them.
//   3. The user's layer, where asked for: $XDG_CONFIG_HOME/NAME
//      ($HOME/.config/NAME where XDG_CONFIG_HOME is unset, empty or not
//      absolute), then its NAME.d/ drop-ins in byte order; nothing masks here.
//   4. The files added, in the order added.
//   5. The environment, where a prefix is set: a key that a file holds is
//      overridden by the variable named by the prefix and the key, a-z
//      upper-cased and every other character but A-Z and 0-9 written '_'
//      ("max-speed" with "ROBOT_" is ROBOT_MAX_SPEED); its value reads as
//      after a colon ("[1, 2]" is two items). A variable for a key that no
//      file holds adds nothing.
//
// For example, with NAME robot/params.yaml:
//
//   /usr/lib/robot/params.yaml               the package's defaults: overridden
//   /etc/robot/params.yaml                   read first
//   /usr/lib/robot/params.yaml.d/10-arm.yaml read second
//   /etc/robot/params.yaml.d/20-site.yaml    read third
//   /usr/lib/robot/params.yaml.d/20-site.yaml   shadowed by /etc's
//   ~/.config/robot/params.yaml              read fourth, with --user
#ifndef PLINTO_YAML_LAYERS_H
#define PLINTO_YAML_LAYERS_H

#include <plinto/yaml.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace plinto {
namespace yaml {

// Where a key's items came from: a file's line, or a variable.
struct Origin
{
    QString fileName; // the file whose line holds the items; empty for a variable
    qint64 line = 0;  // that line, counted from 1 (a line ends at a line feed); 0 for a variable
    QString variable; // the environment variable that set them; empty for a file
};

// A file that the search found and did not read.
struct SkippedFile
{
    QString fileName;
    // Why: "overridden by FILE", "masked by FILE", "shadowed by FILE" (a
    // drop-in of the same name in a higher folder), "a mask (empty)", "a mask
    // (a link to /dev/null)", "not a drop-in: ...".
    QString reason;
};

// What a parse of one file found (see Reader::parse with findings).
struct FileFindings
{
    QString fileName;
    QList<Finding> findings;
};

// Threads: a Layers belongs to one thread at a time; a copy is a value of its
// own.
class PLINTO_YAML_EXPORT Layers
{
public:
    // A configuration of nothing yet, with the default search folders.
    Layers();
    ~Layers();
    Layers(const Layers &other);
    Layers &operator=(const Layers &other);

    // The folders to look in, highest precedence first.
    void setSearchPath(const QStringList &folders);
    QStringList searchPath() const;

    // A folder put in front of every search folder and of the user's folder
    // (an image, a test's tree); empty for none.
    void setRoot(const QString &root);
    QString root() const;

    // Whether the user's layer is read (off by default).
    void setUserLayer(bool on);
    bool userLayer() const;

    // A file read after the search's files, in the order added; it must exist.
    void addFile(const QString &fileName);
    QStringList addedFiles() const;

    // The prefix of the variables that override keys; empty (the default):
    // the environment is not read.
    void setEnvironmentPrefix(const QString &prefix);
    QString environmentPrefix() const;

    // Finds the configuration NAME's files and reads them into one store
    // (name may be empty where files are added: they alone are read). True
    // also where nothing is found: an empty configuration. false, with
    // errorString() naming the file or variable and saying why, and the
    // store, files and origins as they were, when the name is empty (and no
    // file is added), absolute or holds a ".." part; when a file to read
    // cannot be read (a folder, a FIFO or a device, which are never waited
    // on; no permission; a dangling link; a read that fails); when an added
    // file is missing; when a variable's value reads as no value ("a: b").
    bool load(const QString &name);
    // The same, also setting findings to what a parse of each file read
    // finds alone, a FileFindings per file in the order of files().
    bool load(const QString &name, QList<FileFindings> &findings);

    // Why the last load() failed; empty after one that succeeded.
    QString errorString() const;

    // The files read, in the order read.
    QStringList files() const;

    // The files found and not read, with why: in the order found.
    QList<SkippedFile> skippedFiles() const;

    // The merged store, with every lookup Reader has.
    const Reader &reader() const;

    // Where the key's items came from; empty (no file, no variable) for a key
    // the store does not hold.
    Origin origin(const QString &key) const;

private:
    class Private;
    std::unique_ptr<Private> d;
};

// Changes to a layered configuration, each written where it shows, in the
// folder written: the top search folder (the administrator's, /etc by
// default), or the user's where the Layers read the user's layer. A set goes
//
//   1. into the file of that folder whose line the key's value comes from now,
//      changed in place;
//   2. else into the folder's main file, where it is read and no file read
//      after it holds the key (the user's main file is made where missing: it
//      replaces nothing);
//   3. else into a new drop-in of the folder, NAME.d/override.yaml (with
//      NAME's suffix), read after the main file and the drop-ins named before
//      it; where a lower folder has a drop-in of that name, which it would
//      shadow whole, override_2.yaml, override_3.yaml... instead.
//
// It never makes a main file in the top folder (that would replace a lower
// folder's whole), nor a drop-in named as a lower folder's. A set or remove is
// refused, with nothing changed, where a layer read later would still give the
// key its own value: a file of the user's layer (the user's layer not
// written), a file given, a drop-in read after the one written, a variable.
// The reason names that FILE:LINE or variable, and how to write there
// instead. A key that only files of the folder written hold can always be set.
// A remove takes the key out of every file of the folder written, so that it
// reads as the layers below give it. Each file written is changed as Editor
// changes a file: its other lines kept, YAML kept, the same refusals.
//
// Threads: one LayersEditor belongs to one thread at a time.
class PLINTO_YAML_EXPORT LayersEditor
{
public:
    LayersEditor();
    ~LayersEditor();
    LayersEditor(const LayersEditor &) = delete;
    LayersEditor &operator=(const LayersEditor &) = delete;

    // Reads the configuration NAME as layers' settings name it (search folders,
    // root, files given, prefix), the user's layer always (whether it is
    // written follows layers.userLayer()), and drops earlier changes. false,
    // errorString() saying why, as Layers::load.
    bool load(const Layers &layers, const QString &name);

    // Every change goes into this file instead: one the configuration reads,
    // or a new drop-in of the folder written; empty (the default): where it
    // shows, as above. A change into it is refused all the same where a later
    // layer would still hold the key.
    void setTargetFile(const QString &fileName);

    // As Editor's setters, into the file placed as above; false, with nothing
    // changed and errorString() saying why, where the change would not show
    // or that file's editor refuses it.
    bool setEntryForKey(const QString &key, const QString &item);
    bool setListEntryForKey(const QString &key, const QStringList &items);

    // Takes the key out of every file of the folder written (or out of the
    // target file); false, with nothing changed, where none holds it, or the
    // key's value comes from a file read after them or a variable.
    bool removeEntryForKey(const QString &key);

    // The files the last successful change went into.
    QStringList changedFiles() const;

    // Saves every file changed, each as Editor::save() saves one (atomic,
    // under its lock, merged with a change made meanwhile), making the
    // folder of a new drop-in where missing. Every change was judged when it
    // was made, so nothing is saved for a change refused. Where the changes go
    // to several files, they are saved one after the other: a failure (or a
    // crash) between two leaves each file whole, the earlier ones new, the
    // rest old; false, with errorString() naming the file.
    bool save();

    // Why the last call failed; empty after one that succeeded.
    QString errorString() const;

    // After a setter that returned true: what Editor::noteString() says of it.
    QString noteString() const;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_LAYERS_H
