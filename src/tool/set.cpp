// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-set: gives a key the items that a value reads as, or removes the
// key, and saves the file with every other byte kept, for shell scripts; in a
// configuration of several files, in the file where the change shows.
#include "layeroptions.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <cstring>
#include <string>

namespace {

constexpr char usage[] = "tarnwick-set version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-set FILE KEY VALUE [KEY VALUE]...\n"
                         "       tarnwick-set --remove FILE KEY [KEY]...\n"
                         "       tarnwick-set LAYERS [--into FILE] KEY VALUE [KEY VALUE]...\n"
                         "       tarnwick-set LAYERS [--into FILE] --remove KEY [KEY]...\n"
                         "Gives each KEY in the entry file FILE the items that its VALUE reads as after\n"
                         "a colon (robot, \"  padded  \", [1.5, 2, x], []), or removes every entry line of\n"
                         "each KEY, and saves FILE with every other line kept: all changes at once or\n"
                         "none, atomically, under FILE.lock, merged with a change made meanwhile. A\n"
                         "value's lines that YAML reads with it go with it; what would break the file\n"
                         "for YAML is refused. A FILE that does not exist is created.\n"
                         "With LAYERS in place of FILE, each change goes into the file of the top\n"
                         "search folder (the user's, with --user) from which it shows: the one the\n"
                         "value comes from, else the main file, else NAME.d/override.yaml, never one\n"
                         "that would hide a lower folder's file whole; or into --into FILE. A change\n"
                         "that a later file or a variable would hide is refused, naming it; --remove\n"
                         "takes the key out of every file of that folder.\n"
                         "Exit status: 0 when saved, 1 when refused (nothing written, the reason on\n"
                         "standard error), 2 when FILE cannot be read or saved, or the arguments are\n"
                         "wrong.\n" TARNWICK_LAYER_USAGE;

enum Status { Saved = 0, Refused = 1, Trouble = 2 };

int say(Status status, const QString &why)
{
    tarnwick::writeAll(STDERR_FILENO, "tarnwick-set: " + why.toLocal8Bit().toStdString() + '\n');
    return status;
}

// The one-line file "KEY: VALUE", as the editor would write the key.
plinto::yaml::Reader readLine(const QByteArray &key, const QByteArray &value, QList<plinto::yaml::Finding> *findings)
{
    QByteArray line = (key.isEmpty() ? QByteArray(" ") : key) + ": " + value + '\n';
    QBuffer buffer(&line);
    buffer.open(QIODevice::ReadOnly);
    plinto::yaml::Reader reader;
    if (findings)
        reader.parse(&buffer, *findings);
    else
        reader.parse(&buffer);
    return reader;
}

// Makes the changes, KEY VALUE pairs (or KEYs to remove) from argv[first]
// on, with the editor (an Editor, or a LayersEditor), and saves them: all of
// them, or none where one is refused.
template <typename Editor>
int change(Editor &editor, int argc, char *argv[], int first, bool remove, const QList<QStringList> &values)
{
    const int step = remove ? 1 : 2;
    const int changes = (argc - first) / step;
    std::string notes;
    for (int i = first, change = 0; i < argc; i += step, ++change) {
        const QByteArray key(argv[i]);
        const QString keyText = QString::fromLatin1(key);
        const QByteArray trimmed = remove ? QByteArray() : QByteArray(argv[i + 1]).trimmed();
        const bool taken = remove ? editor.removeEntryForKey(keyText)
                : trimmed.startsWith('[') && trimmed.endsWith(']')
                ? editor.setListEntryForKey(keyText, values[change])
                : editor.setEntryForKey(keyText, values[change].first());
        // A refusal names its key where there are several, and it does not.
        const QString named = QStringLiteral("key \"%1\"").arg(keyText);
        if (!taken)
            return say(Refused,
                       changes > 1 && !editor.errorString().startsWith(named)
                               ? named + QStringLiteral(": ") + editor.errorString()
                               : editor.errorString());
        // What YAML would read otherwise in the value, as tarnwick-check says it.
        QList<plinto::yaml::Finding> findings;
        if (!remove)
            readLine(key, argv[i + 1], &findings);
        for (const plinto::yaml::Finding &finding : findings)
            notes += "tarnwick-set: note: " + finding.message.toLatin1().toStdString() + '\n';
        if (!editor.noteString().isEmpty())
            notes += "tarnwick-set: note: " + editor.noteString().toLatin1().toStdString() + '\n';
    }
    if (!editor.save())
        return say(Trouble, editor.errorString());
    tarnwick::writeAll(STDERR_FILENO, notes);
    return Saved;
}

// A name that Qt holds as it stands; a save must name its file.
bool takesName(const char *argument, QString &name)
{
    name = QFile::decodeName(argument);
    return QFile::encodeName(name) == QByteArray(argument);
}

} // namespace

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-set"));
    if (const int status = tarnwick::answerOption(argc, argv, usage); status >= 0)
        return status;
    // --remove, the layer options and --into, as long as they come.
    bool remove = false;
    bool layered = false;
    QString into;
    tarnwick::LayerOptions options;
    std::string why;
    int at = 1;
    while (at < argc && why.empty()) {
        if (!remove && std::strcmp(argv[at], "--remove") == 0) {
            remove = true;
            ++at;
        } else if (tarnwick::isLayerOption(argv[at])) {
            layered = true;
            tarnwick::readLayerOptions(argc, argv, at, options, why);
        } else if (std::strcmp(argv[at], "--into") == 0 && at + 1 < argc) {
            layered = true;
            if (!takesName(argv[at + 1], into))
                return say(Trouble,
                           QStringLiteral("cannot save a file whose name is not valid in the locale's encoding"));
            at += 2;
        } else {
            break;
        }
    }
    if (!why.empty())
        return say(Trouble, QString::fromLocal8Bit(why.c_str()));
    const int first = layered ? at : at + 1; // the first KEY
    const int step = remove ? 1 : 2;         // KEY, or KEY VALUE
    if (argc < first + step || (argc - first) % step != 0 || tarnwick::isHelpOrVersion(argv[1])) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }
    const int changes = (argc - first) / step;

    // Each value, checked before any file is read: a refusal names its key
    // where there are several.
    const auto refuse = [changes](const QByteArray &key, const QString &reason) {
        return say(Refused,
                   changes > 1 ? QStringLiteral("key \"%1\": %2").arg(QString::fromLatin1(key), reason) : reason);
    };
    QList<QStringList> values; // the items each VALUE reads as after a colon
    for (int i = first; !remove && i < argc; i += step) {
        const QByteArray value(argv[i + 1]);
        if (value.contains('\n'))
            return refuse(argv[i], QStringLiteral("a value may not hold a line feed"));
        const plinto::yaml::Reader read = readLine("v", value, nullptr);
        if (read.entries.isEmpty())
            return refuse(argv[i], QStringLiteral("a value may not hold a colon"));
        values.append(read.entries.first());
    }

    if (layered) {
        plinto::yaml::LayersEditor editor;
        if (!options.given)
            return say(Trouble, QStringLiteral("--layers or --file names what to change"));
        if (!editor.load(options.layers, options.name))
            return say(Trouble, editor.errorString());
        editor.setTargetFile(into);
        return change(editor, argc, argv, first, remove, values);
    }
    QString fileName;
    if (!takesName(argv[first - 1], fileName))
        return say(Trouble, QStringLiteral("cannot save a file whose name is not valid in the locale's encoding"));
    plinto::yaml::Editor editor;
    if (!editor.load(fileName))
        return say(Trouble, editor.errorString());
    return change(editor, argc, argv, first, remove, values);
}
