// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-get: writes one key's items, one a line, for shell scripts. Only
// the lines that hold the key's bytes can be its entries, so only those go
// to the reader; the file is read a block at a time, never into a store. A
// configuration of several files is read whole, and can say where a value
// came from and which files were read.
#include "dump.h"
#include "layeroptions.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr char usage[] = "tarnwick-get version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-get [--show-origin] FILE KEY\n"
                         "       tarnwick-get LAYERS [--show-origin] KEY\n"
                         "       tarnwick-get LAYERS --files\n"
                         "Writes the items of KEY in the entry file FILE, or in the configuration that\n"
                         "LAYERS name, one a line, as tarnwick reads them. --show-origin writes first\n"
                         "where they come from, FILE:LINE or environment:VARIABLE. --files writes the\n"
                         "files read, in order, then each file found and not read, a tab, and why.\n"
                         "Exit status: 0 when the key is there, 1 when it is not, 2 when the file or\n"
                         "configuration cannot be read or the arguments are wrong.\n" TARNWICK_LAYER_USAGE;

enum Status { Found = 0, NotThere = 1, Trouble = 2 };

// The lines of the file that hold the key's bytes, in file order, read a
// block at a time (a line longer than the block grows it). A line that was
// not the file's first is kept from becoming the first, where the reader
// would take a byte-order mark from it. False when a read fails.
bool linesHolding(QIODevice &file, const QByteArray &key, QByteArray &lines)
{
    std::vector<char> block(1 << 20);
    size_t held = 0;       // bytes in the block: the start of a line, then what was read after it
    bool firstLine = true; // the block starts with the file's first line
    for (bool atEnd = false; !atEnd;) {
        if (held == block.size())
            block.resize(block.size() * 2);
        const qint64 got = file.read(block.data() + held, qint64(block.size() - held));
        if (got < 0)
            return false;
        atEnd = got == 0;
        held += size_t(got);
        // The whole lines held, or at the end all that is left.
        const char *const begin = block.data();
        const char *lastLf = static_cast<const char *>(memrchr(begin, '\n', held));
        const char *const end = atEnd ? begin + held : lastLf ? lastLf + 1 : begin;
        for (const char *from = begin; from < end;) {
            const char *hit = key.isEmpty()
                    ? from
                    : static_cast<const char *>(memmem(from, size_t(end - from), key.constData(), size_t(key.size())));
            if (!hit)
                break;
            const char *start = static_cast<const char *>(memrchr(begin, '\n', size_t(hit - begin)));
            start = start ? start + 1 : begin;
            const char *lf = static_cast<const char *>(std::memchr(hit, '\n', size_t(end - hit)));
            from = lf ? lf + 1 : end;
            if (lines.isEmpty() && !(firstLine && start == begin))
                lines += '\n';
            lines.append(start, decltype(lines.size())(from - start));
        }
        if (end > begin)
            firstLine = false;
        held -= size_t(end - begin);
        std::memmove(block.data(), end, held);
    }
    return true;
}

int say(const std::string &why)
{
    tarnwick::writeAll(STDERR_FILENO, "tarnwick-get: " + why + '\n');
    return Trouble;
}

std::string bytes(const QString &fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

// The files read, then those found and not read, with why.
int writeFiles(const plinto::yaml::Layers &layers)
{
    std::string out;
    for (const QString &file : layers.files())
        out += bytes(file) + '\n';
    for (const plinto::yaml::SkippedFile &file : layers.skippedFiles())
        out += bytes(file.fileName) + '\t' + file.reason.toLocal8Bit().toStdString() + '\n';
    return tarnwick::writeAll(STDOUT_FILENO, out) ? Found : Trouble;
}

// The key's items in the configuration, after their origin where asked.
int writeItems(const plinto::yaml::Layers &layers, const QString &key, bool showOrigin)
{
    const auto entry = layers.reader().entries.constFind(key);
    if (entry == layers.reader().entries.cend())
        return NotThere;
    std::string out;
    if (showOrigin) {
        const plinto::yaml::Origin origin = layers.origin(key);
        out += origin.variable.isEmpty() ? bytes(origin.fileName) + ':' + std::to_string(origin.line)
                                         : "environment:" + origin.variable.toStdString();
        out += '\n';
    }
    for (const QString &item : *entry) {
        tarnwick::appendLatin1(out, item);
        out += '\n';
    }
    return tarnwick::writeAll(STDOUT_FILENO, out) ? Found : Trouble;
}

// tarnwick-get [LAYERS] [--show-origin] [--files] [FILE] [KEY].
int getFromLayers(int argc, char *argv[])
{
    tarnwick::LayerOptions options;
    bool showOrigin = false;
    bool files = false;
    std::string why;
    int at = 1;
    for (bool more = true; more && why.empty();) {
        more = at < argc && (std::strcmp(argv[at], "--show-origin") == 0 || std::strcmp(argv[at], "--files") == 0);
        if (more)
            (std::strcmp(argv[at++], "--files") == 0 ? files : showOrigin) = true;
        else if (at < argc && tarnwick::isLayerOption(argv[at]))
            more = tarnwick::readLayerOptions(argc, argv, at, options, why);
    }
    if (!why.empty())
        return say(why);
    if (!options.given && !files && argc - at == 2) { // --show-origin FILE KEY: a configuration of one file
        options.layers.addFile(QFile::decodeName(argv[at++]));
        options.given = true;
    }
    if (argc - at != (files ? 0 : 1) || (files && showOrigin)) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }
    if (!tarnwick::loadLayers(options, why))
        return say(why);
    return files ? writeFiles(options.layers) : writeItems(options.layers, QString::fromLatin1(argv[at]), showOrigin);
}

} // namespace

int main(int argc, char *argv[])
{
    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-get"));
    if (const int status = tarnwick::answerOption(argc, argv, usage); status >= 0)
        return status;
    if (argc > 1
        && (tarnwick::isLayerOption(argv[1]) || std::strcmp(argv[1], "--show-origin") == 0
            || std::strcmp(argv[1], "--files") == 0))
        return getFromLayers(argc, argv);
    if (argc != 3 || tarnwick::isHelpOrVersion(argv[1])) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }

    const tarnwick::ArgumentFile argument(argv[1]);
    QFile file(argument.name());
    QByteArray lines;
    bool read = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    try {
        read = read && linesHolding(file, QByteArray(argv[2]), lines);
    } catch (const std::bad_alloc &) {
        read = false; // a line too long for memory
    }
    if (!read) {
        tarnwick::writeAll(STDERR_FILENO, std::string("Error parsing ") + argv[1]);
        return Trouble;
    }
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
