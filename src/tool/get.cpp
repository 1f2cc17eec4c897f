// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-get: writes one key's items, one a line, for shell scripts. Only
// the lines that hold the key's bytes can be its entries, so only those go
// to the reader; the file is never read into a store.
#include "dump.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <cstring>
#include <string>

namespace {

constexpr char usage[] = "tarnwick-get version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-get FILE KEY\n"
                         "Writes the items of KEY in the entry file FILE, one a line, as tarnwick\n"
                         "reads them. Exit status: 0 when the key is there, 1 when it is not, 2 when\n"
                         "the file cannot be read or the arguments are wrong.\n";

enum Status { Found = 0, NotThere = 1, Trouble = 2 };

// The lines of the file that hold the key's bytes, in file order. A line
// that was not the first is kept from becoming the first, where the reader
// would take a byte-order mark from it.
QByteArray linesHolding(const QByteArray &file, const QByteArray &key)
{
    if (key.isEmpty())
        return file;
    QByteArray lines;
    const char *const begin = file.constData();
    const char *const end = begin + file.size();
    for (const char *from = begin; from < end;) {
        const char *hit
                = static_cast<const char *>(memmem(from, size_t(end - from), key.constData(), size_t(key.size())));
        if (!hit)
            break;
        const char *start = static_cast<const char *>(memrchr(begin, '\n', size_t(hit - begin)));
        start = start ? start + 1 : begin;
        const char *lf = static_cast<const char *>(std::memchr(hit, '\n', size_t(end - hit)));
        from = lf ? lf + 1 : end;
        if (lines.isEmpty() && start != begin)
            lines += '\n';
        lines.append(start, decltype(lines.size())(from - start));
    }
    return lines;
}

} // namespace

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-get"));
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
        return tarnwick::writeAll(STDOUT_FILENO, usage) ? Found : Trouble;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return tarnwick::writeAll(STDOUT_FILENO, std::string_view(usage, std::strchr(usage, '\n') + 1 - usage))
                ? Found
                : Trouble;
    if (argc != 3 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }

    const tarnwick::ArgumentFile argument(argv[1]);
    QFile file(argument.name());
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        tarnwick::writeAll(STDERR_FILENO, std::string("Error parsing ") + argv[1]);
        return Trouble;
    }
    QByteArray lines = linesHolding(bytes, QByteArray(argv[2]));
    QBuffer buffer(&lines);
    buffer.open(QIODevice::ReadOnly);
    plinto::yaml::Reader reader;
    reader.parse(&buffer);
    const auto entry = reader.entries.constFind(QString::fromLatin1(argv[2]));
    if (entry == reader.entries.cend())
        return NotThere;
    std::string out;
    for (const QString &item : *entry) {
        tarnwick::appendLatin1(out, item);
        out += '\n';
    }
    return tarnwick::writeAll(STDOUT_FILENO, out) ? Found : Trouble;
}
