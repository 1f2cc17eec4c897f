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
                         "usage: tarnwick-set FILE KEY VALUE [KEY VALUE]...\n"
                         "       tarnwick-set --remove FILE KEY [KEY]...\n"
                         "Gives each KEY in the entry file FILE the items that its VALUE reads as after\n"
                         "a colon (robot, \"  padded  \", [1.5, 2, x], []), or removes every entry line of\n"
                         "each KEY, and saves FILE with every other line kept: all changes at once or\n"
                         "none, atomically, under FILE.lock, merged with a change made meanwhile. A\n"
                         "value's lines that YAML reads with it go with it; what would break the file\n"
                         "for YAML is refused. A FILE that does not exist is created.\n"
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
    const int first = remove ? 3 : 2; // the first KEY
    const int step = remove ? 1 : 2;  // KEY, or KEY VALUE
    if (argc < first + step || (argc - first) % step != 0 || tarnwick::isHelpOrVersion(argv[1])) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }
    const char *const fileArgument = argv[first - 1];
    const int changes = (argc - first) / step;

    // A save must name the file: a name that Qt cannot hold is refused.
    const QString fileName = QFile::decodeName(fileArgument);
    if (QFile::encodeName(fileName) != QByteArray(fileArgument))
        return say(Trouble, QStringLiteral("cannot save a file whose name is not valid in the locale's encoding"));

    // Each change, checked before the file is read: a refusal names its key
    // where there are several.
    const auto refuse = [changes](const QByteArray &key, const QString &why) {
        return say(Refused, changes > 1 ? QStringLiteral("key \"%1\": %2").arg(QString::fromLatin1(key), why) : why);
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

    plinto::yaml::Editor editor;
    if (!editor.load(fileName))
        return say(Trouble, editor.errorString());
    std::string notes;
    for (int i = first, change = 0; i < argc; i += step, ++change) {
        const QByteArray key(argv[i]);
        const QString keyText = QString::fromLatin1(key);
        const QByteArray trimmed = remove ? QByteArray() : QByteArray(argv[i + 1]).trimmed();
        const bool taken = remove ? editor.removeEntryForKey(keyText)
                : trimmed.startsWith('[') && trimmed.endsWith(']')
                ? editor.setListEntryForKey(keyText, values[change])
                : editor.setEntryForKey(keyText, values[change].first());
        if (!taken)
            return refuse(key, editor.errorString());
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
