// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The files of a configuration into one store: every file's entries go into
// one batch, each with its line, and the batch is stored once, the last line
// of a key winning; what a file alone overrides is found in its own range.
#include "merge.h"

#include "reading/batch.h"
#include "reading/findings.h"
#include "reading/lines.h"
#include "reading/syntax.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// Opens the file to read: one found in a folder only where it is a regular
// file or the null device, without waiting for a FIFO's writer. -1, with why,
// where it cannot be.
int openLayerFile(const LayerFile &file, QString &why)
{
    const bool given = file.kind == LayerKind::Given;
    const int fd = ::open(file.path.constData(), O_RDONLY | O_CLOEXEC | (given ? 0 : O_NONBLOCK));
    if (fd < 0) {
        why = qt_error_string(errno);
        return -1;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        why = qt_error_string(errno);
    } else if (S_ISDIR(status.st_mode)) {
        why = QStringLiteral("it is a folder");
    } else if (!given && !S_ISREG(status.st_mode)
               && !(S_ISCHR(status.st_mode) && major(status.st_rdev) == 1 && minor(status.st_rdev) == 3)) {
        why = QStringLiteral("it is not a regular file");
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

} // namespace

bool mergeFiles(const std::vector<LayerFile> &files, MergedLayers &merged, QString &why,
                std::vector<QList<Finding>> *findings)
{
    EntryBatch batch;
    EntryLine entry;
    std::vector<qint64> entryLines; // the line of each entry of the batch
    std::vector<size_t> fileStarts; // the first entry of each file
    for (const LayerFile &layer : files) {
        fileStarts.push_back(batch.size());
        const int fd = openLayerFile(layer, why);
        if (fd < 0) {
            why = QStringLiteral("cannot read %1: %2").arg(QFile::decodeName(layer.path), why);
            return false;
        }
        QFile file;
        file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
        qint64 line = 0;
        FindingCollector collector;
        const bool read = readDeviceLines(file, [&](Bytes bytes) {
            ++line;
            const bool isEntry = readEntry(bytes, entry);
            if (findings)
                collector.line(bytes, isEntry ? &entry : nullptr);
            if (isEntry) {
                batch.add(entry);
                entryLines.push_back(line);
            }
        });
        if (!read) {
            why = QStringLiteral("cannot read %1: %2")
                          .arg(QFile::decodeName(layer.path),
                               file.error() != QFileDevice::NoError ? file.errorString()
                                                                    : QStringLiteral("too large for memory"));
            return false;
        }
        if (findings) {
            const size_t first = fileStarts.back();
            batch.overriddenWithin(first, batch.size(), [&collector, first](size_t e, const QString &key, size_t w) {
                collector.overridden(e - first, key, w - first);
            });
            findings->push_back(collector.take());
        }
    }
    batch.mergeInto(merged.entries, {}, [&](const QString &key, size_t winner) {
        const auto file = std::upper_bound(fileStarts.begin(), fileStarts.end(), winner) - 1;
        merged.origins.push_back({key, quint32(file - fileStarts.begin()), entryLines[winner]});
    });
    return true;
}

KeyOrigin *findOrigin(std::vector<KeyOrigin> &origins, const QString &key)
{
    const auto found = std::lower_bound(origins.begin(), origins.end(), key,
                                        [](const KeyOrigin &origin, const QString &k) { return origin.key < k; });
    return found != origins.end() && found->key == key ? &*found : nullptr;
}

const KeyOrigin *findOrigin(const std::vector<KeyOrigin> &origins, const QString &key)
{
    return findOrigin(const_cast<std::vector<KeyOrigin> &>(origins), key);
}

} // namespace detail
} // namespace yaml
} // namespace plinto
