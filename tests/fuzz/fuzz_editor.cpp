// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Fuzz target: arbitrary bytes as a file and a few edits, through Editor. The
// first byte is the number of edits, each of the next three bytes an edit (a
// kind, a key, a value, each picked from a few that the format finds hard);
// the rest is the file. Checks both laws after every run, that a refused edit
// changes nothing, and that only what cannot be written, or what YAML readers
// would not keep, is refused. Built for
// libFuzzer (TARNWICK_FUZZ) and, with replay.cpp, as a program that replays.
#include "../editor_laws.h"

#include <plinto/yaml.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

QString asFile(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("edited", 0);
    check(fd >= 0 && ftruncate(fd, 0) == 0, "memfd");
    for (size_t written = 0; written < size;) {
        const ssize_t n = pwrite(fd, data + written, size - written, off_t(written));
        check(n > 0, "pwrite");
        written += size_t(n);
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

bool cannotBeWritten(const QString &text, const char *refused)
{
    for (const char *c = refused; *c; ++c) {
        if (text.contains(QLatin1Char(*c)))
            return true;
    }
    return text.contains(QChar(0));
}

bool hasBlankAtAnEnd(const QString &text)
{
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || (c.unicode() >= 9 && c.unicode() <= 13); };
    return !text.isEmpty() && (blank(text.front()) || blank(text.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const otherKeys[] = {"", "k", "new key", "\xEF\xBB\xBFk", "# note", "a:b", " pad", "k\r"};
    static const char *const values[] = {"", " x ", "1", "[1]", "a #b", "x:y", "\xA0", "q\"", "-0.5", "a,b", "[", "\r"};
    const size_t edits = size > 0 ? data[0] % 9 : 0;
    const size_t header = std::min(size, 1 + 3 * edits);
    const QByteArray file(reinterpret_cast<const char *>(data + header), decltype(QByteArray().size())(size - header));

    plinto::yaml::Editor editor;
    check(editor.load(asFile(data + header, size - header)), "load of a readable file");
    check(editor.contents() == file, "the loaded bytes unchanged");
    laws::Entries expected = laws::parsed(file);
    QStringList keys = expected.keys();
    for (const char *key : otherKeys)
        keys.append(QString::fromLatin1(key));
    QSet<QString> named;
    for (size_t i = 1; i + 2 < header; i += 3) {
        const int kind = data[i] % 4;
        const QString key = keys.at(data[i + 1] % keys.size());
        const QString value = QString::fromLatin1(values[data[i + 2] % (sizeof values / sizeof *values)]);
        const QStringList items = kind == 1 ? QStringList{value, QStringLiteral("z")} : QStringList{};
        const QByteArray before = editor.contents();
        bool taken = false;
        bool refusable = cannotBeWritten(key, ":\n") || hasBlankAtAnEnd(key);
        if (kind == 0) {
            taken = editor.setEntryForKey(key, value);
            refusable = refusable || cannotBeWritten(value, ":\n\"");
        } else if (kind == 1 || kind == 3) { // a list of two items, or of none
            taken = editor.setListEntryForKey(key, items);
            refusable = refusable || (kind == 1 && cannotBeWritten(value, ":\n\",[]"));
        } else {
            taken = editor.removeEntryForKey(key);
            refusable = !expected.contains(key);
        }
        // Besides what cannot be written, what YAML readers would not keep is
        // refused: a line that is no key to YAML, a value with other keys.
        const bool forYaml = editor.errorString().endsWith(QLatin1String("for YAML"));
        check(!(taken && refusable) && (taken || refusable || forYaml), "refused exactly what cannot be written");
        check(taken == editor.errorString().isEmpty(), "a reason for each refusal");
        if (!taken) {
            check(editor.contents() == before, "a refused edit changes nothing");
            continue;
        }
        named.insert(key);
        if (kind == 2)
            expected.remove(key);
        else
            expected.insert(key, kind == 0 ? QStringList{value} : items);
    }
    const QByteArray edited = editor.contents();
    check(laws::parsed(edited) == expected, "reads back as set");
    check(editor.reader().entries == expected, "reader() as the edited bytes read");
    check(laws::nothingElseMoved(file, edited, named), "nothing else moves");
    return 0;
}
