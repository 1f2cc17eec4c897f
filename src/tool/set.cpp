// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-set: gives a key the items that a value reads as, or removes the
// key, and saves the file with every other byte kept, for shell scripts.
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
                         "usage: tarnwick-set FILE KEY VALUE\n"
                         "       tarnwick-set --remove FILE KEY\n"
                         "Gives KEY in the entry file FILE the items that VALUE reads as after a\n"
                         "colon (robot, \"  padded  \", [1.5, 2, x], []), or removes every entry line of\n"
                         "KEY, and saves FILE with every other byte kept: atomically, under FILE.lock,\n"
                         "merged with a change made meanwhile. A FILE that does not exist is created.\n"
                         "Exit status: 0 when saved, 1 when refused (nothing written, the reason on\n"
                         "standard error), 2 when FILE cannot be read or saved, or the arguments are\n"
                         "wrong.\n";

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

} // namespace

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-set"));
    const bool remove = argc > 1 && std::strcmp(argv[1], "--remove") == 0;
    if (const int status = tarnwick::answerOption(argc, argv, usage); status >= 0)
        return status;
    if (argc != 4 || tarnwick::isHelpOrVersion(argv[1])) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }
    const char *const fileArgument = argv[remove ? 2 : 1];
    const QByteArray key(argv[remove ? 3 : 2]);
    const QByteArray value(remove ? "" : argv[3]);

    // A save must name the file: a name that Qt cannot hold is refused.
    const QString fileName = QFile::decodeName(fileArgument);
    if (QFile::encodeName(fileName) != QByteArray(fileArgument))
        return say(Trouble, QStringLiteral("cannot save a file whose name is not valid in the locale's encoding"));

    // The value as the format reads it after a colon.
    QStringList items;
    if (!remove) {
        if (value.contains('\n'))
            return say(Refused, QStringLiteral("a value may not hold a line feed"));
        const plinto::yaml::Reader read = readLine("v", value, nullptr);
        if (read.entries.isEmpty())
            return say(Refused, QStringLiteral("a value may not hold a colon"));
        items = read.entries.first();
    }

    plinto::yaml::Editor editor;
    if (!editor.load(fileName))
        return say(Trouble, editor.errorString());
    const QString keyText = QString::fromLatin1(key);
    const QByteArray trimmed = value.trimmed();
    const bool changed = remove                                ? editor.removeEntryForKey(keyText)
            : trimmed.startsWith('[') && trimmed.endsWith(']') ? editor.setListEntryForKey(keyText, items)
                                                               : editor.setEntryForKey(keyText, items.first());
    if (!changed)
        return say(Refused, remove ? QStringLiteral("the key is not there") : editor.errorString());
    if (!editor.save())
        return say(Trouble, editor.errorString());

    // What YAML would read otherwise in the value, as tarnwick-check says it.
    QList<plinto::yaml::Finding> findings;
    if (!remove)
        readLine(key, value, &findings);
    std::string notes;
    for (const plinto::yaml::Finding &finding : findings)
        notes += "tarnwick-set: note: " + finding.message.toLatin1().toStdString() + '\n';
    tarnwick::writeAll(STDERR_FILENO, notes);
    return Saved;
}
