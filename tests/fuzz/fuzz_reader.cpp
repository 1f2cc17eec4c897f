// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Fuzz target: arbitrary bytes as an entry file, through the parser, every
// lookup and the dump format, checked against a plain line-by-line reading
// of the format. Built for libFuzzer (TARNWICK_FUZZ) and, with replay.cpp,
// as an ordinary program that replays saved inputs.
#include "dump.h"
#include <plinto/yaml.h>

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using plinto::yaml::Reader;
using Entries = QMap<QString, QStringList>;
using Size = decltype(QString().size()); // int in Qt 5

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool isAsciiSpace(QChar c)
{
    return c == QLatin1Char(' ') || (c.unicode() >= 9 && c.unicode() <= 13);
}

QString asciiTrimmed(const QString &text)
{
    Size begin = 0;
    Size end = text.size();
    while (begin < end && isAsciiSpace(text.at(begin)))
        ++begin;
    while (end > begin && isAsciiSpace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// The format read the plain way: one line at a time, with QString's own
// splitting, each line stored in turn.
Entries plainReading(const QByteArray &bytes)
{
    Entries entries;
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    Size start = 0;
    while (start < data.size()) {
        Size end = data.indexOf('\n', start);
        QByteArray line = end < 0 ? data.mid(start) : data.mid(start, end + 1 - start);
        start = end < 0 ? data.size() : end + 1;
        if (line.endsWith("\r\n"))
            line.remove(line.size() - 2, 1);
        const Size nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        const QStringList pieces = QString::fromLatin1(line).split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (pieces.size() != 2)
            continue;
        const QString key = asciiTrimmed(pieces.at(0));
        QString value = asciiTrimmed(pieces.at(1));
        QStringList items;
        if (value.startsWith(QLatin1Char('[')) && value.endsWith(QLatin1Char(']'))) {
            value.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            items = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else {
            items = QStringList{value};
        }
        for (QString &item : items)
            item = asciiTrimmed(item).remove(QLatin1Char('"'));
        entries.insert(key, items);
    }
    return entries;
}

double plainNumber(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The bytes as a file that Reader::parse can open.
QString asFile(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("entries", 0);
    check(fd >= 0, "memfd_create");
    check(ftruncate(fd, 0) == 0, "ftruncate");
    size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, off_t(written));
        check(n > 0, "pwrite");
        written += size_t(n);
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString file = asFile(data, size);
    Reader reader;
    check(reader.parse(file), "parse of a readable file");
    const Entries expected = plainReading(QByteArray(reinterpret_cast<const char *>(data), Size(size)));
    check(reader.entries == expected, "entries as the plain reading gives them");

    const QStringList keys = reader.keys();
    std::string line;
    for (Size i = 0; i < keys.size(); ++i) {
        const QString &key = keys.at(i);
        check(key == asciiTrimmed(key), "keys are trimmed");
        check(i == 0 || keys.at(i - 1) < key, "keys sorted and unique");
        const QStringList items = reader.listEntryForKey(key);
        const QVector<double> numbers = reader.realVectorEntryForKey(key);
        check(numbers.size() == items.size(), "one number per item");
        check(reader.entryTypeForKey(key) == (items.size() > 1 ? plinto::yaml::ListEntry : plinto::yaml::SingleEntry),
              "type follows the item count");
        check(reader.entryForKey(key) == (items.isEmpty() ? QString() : items.first()), "first item");
        for (Size n = 0; n < items.size(); ++n) {
            check(sameBits(numbers.at(n), plainNumber(items.at(n))), "numbers as QString::toDouble reads them");
            check(sameBits(plinto::yaml::Reader::realFromText(items.at(n)), numbers.at(n)), "a text reads as its item");
        }
        check(sameBits(reader.realEntryForKey(key), plainNumber(reader.entryForKey(key))), "first number");
        const qint64 whole = reader.integerEntryForKey(key, 1);
        check(whole == reader.integerEntryForKey(key, 2) || (whole == 1 && reader.integerEntryForKey(key, 2) == 2),
              "a whole number or the fallback");
        check(reader.boolEntryForKey(key, false) == reader.boolEntryForKey(key, true)
                      || !reader.boolEntryForKey(key, false),
              "yes, no or the fallback");
        line.clear();
        tarnwick::appendDumpLine(line, key, items);
        check(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1
                      && line.compare(0, size_t(key.size()) + 3, key.toLatin1().toStdString() + " : ") == 0,
              "dump line shape");
    }

    // A second parse of the same file into the filled store changes nothing.
    check(reader.parse(file), "second parse");
    check(reader.entries == expected, "second parse keeps the entries");

    // Findings change nothing in the store, and come in file order.
    Reader withFindings;
    QList<plinto::yaml::Finding> findings;
    check(withFindings.parse(file, findings), "parse with findings");
    check(withFindings.entries == expected, "findings leave the entries as they are");
    const qint64 lines = qint64(std::count(data, data + size, '\n')) + 1;
    for (Size i = 0; i < findings.size(); ++i) {
        const plinto::yaml::Finding &finding = findings.at(i);
        check(finding.line >= 1 && finding.line <= lines, "a finding on a line of the file");
        check(i == 0 || findings.at(i - 1).line <= finding.line, "findings in file order");
        check(!finding.message.isEmpty(), "a message");
        check((finding.kind == plinto::yaml::OverriddenKey) == (finding.winningLine > finding.line),
              "an overridden key names a later line");
    }
    return 0;
}
