// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The files of a configuration into one store: every file's entries go into
// one batch, each with its line, and the batch is stored once, the last line
// of a key winning; what a file alone overrides is found in its own range.
#include "merge.h"

#include "reading/batch.h"
#include "reading/filebytes.h"
#include "reading/findings.h"
#include "reading/lines.h"
#include "reading/syntax.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// What opening a file to read found.
enum class Opened { Read, Empty, NullDevice, Failed };

// Opens the file to read: one found in a folder only where it is a regular
// file or the null device, without waiting for a FIFO's writer; where it may
// mask and is empty or the null device, it is a mask and is not kept open.
// size: the file's, where it is a regular file (else -1).
Opened openLayerFile(const LayerFile &file, int &fd, qint64 &size, QString &why)
{
    const bool given = file.kind == LayerKind::Given;
    const QByteArray &name = file.folderFd == AT_FDCWD ? file.path : file.dropInName;
    fd = ::openat(file.folderFd, name.constData(), O_RDONLY | O_CLOEXEC | (given ? 0 : O_NONBLOCK));
    if (fd < 0) {
        why = qt_error_string(errno);
        return Opened::Failed;
    }
    struct stat status;
    const bool nullDevice = ::fstat(fd, &status) == 0 && isNullDevice(status);
    size = S_ISREG(status.st_mode) ? qint64(status.st_size) : -1;
    Opened opened = Opened::Failed;
    if (S_ISDIR(status.st_mode))
        why = QStringLiteral("it is a folder");
    else if (!given && size < 0 && !nullDevice)
        why = QStringLiteral("it is not a regular file");
    else if (file.masks() && (size == 0 || nullDevice))
        opened = nullDevice ? Opened::NullDevice : Opened::Empty;
    else
        return Opened::Read;
    ::close(fd);
    return opened;
}

// Hands on the file's lines. A file given is read as Reader::parse reads it
// (a pipe, /proc too); one found in a folder whole, into the memory of the
// one read before. Empty or NullDevice where it masks; Failed, with why, where
// it cannot be read.
Opened readLayerFile(const LayerFile &file, QByteArray &bytes, const std::function<void(Bytes)> &onLine, QString &why)
{
    int fd = -1;
    qint64 size = -1;
    const Opened opened = openLayerFile(file, fd, size, why);
    if (opened != Opened::Read)
        return opened;
    if (file.kind == LayerKind::Given) {
        QFile device;
        device.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
        if (readDeviceLines(device, onLine))
            return Opened::Read;
        why = device.error() != QFileDevice::NoError ? device.errorString() : QStringLiteral("too large for memory");
        return Opened::Failed;
    }
    const FileBytes read = readFileBytes(fd, bytes, why, std::move(bytes), size);
    ::close(fd);
    if (read != FileBytes::Read)
        return Opened::Failed;
    splitLines(Bytes(bytes.constData(), size_t(bytes.size())), onLine);
    return Opened::Read;
}

} // namespace

bool mergeFiles(const std::vector<LayerFile> &files, MergedLayers &merged, QString &why,
                std::vector<QList<Finding>> *findings)
{
    EntryBatch batch;
    EntryLine entry;
    std::vector<Place> places; // of each entry of the batch
    QByteArray bytes;          // the file last read whole
    merged.masks.assign(files.size(), Mask::None);
    quint32 source = 0; // the file being read
    qint64 line = 0;
    std::unique_ptr<FindingCollector> collector; // of the file being read, where findings are asked for
    const std::function<void(Bytes)> onLine = [&](Bytes text) {
        ++line;
        const bool isEntry = readEntry(text, entry);
        if (collector)
            collector->line(text, isEntry ? &entry : nullptr);
        if (isEntry) {
            batch.add(entry);
            places.emplace_back(source, line);
        }
    };
    for (const LayerFile &layer : files) {
        const size_t first = batch.size();
        source = quint32(&layer - files.data());
        line = 0;
        if (findings)
            collector = std::make_unique<FindingCollector>();
        const Opened read = readLayerFile(layer, bytes, onLine, why);
        if (read == Opened::Failed) {
            why = QStringLiteral("cannot read %1: %2").arg(QFile::decodeName(layer.path), why);
            return false;
        }
        merged.masks[source] = read == Opened::Empty ? Mask::Empty
                : read == Opened::NullDevice         ? Mask::NullDevice
                                                     : Mask::None;
        if (collector) {
            batch.overriddenWithin(first, batch.size(), [&collector, first](size_t e, const QString &key, size_t w) {
                collector->overridden(e - first, key, w - first);
            });
            findings->push_back(collector->take());
        }
    }
    merged.origins.reserve(places.size());
    batch.mergeInto(merged.entries, {}, [&](const QString &key, size_t winner) {
        merged.origins.push_back({key, places[winner]});
    });
    return true;
}

bool readFile(const LayerFile &file, QByteArray &bytes, Mask &mask, QString &why)
{
    int fd = -1;
    qint64 size = -1;
    const Opened opened = openLayerFile(file, fd, size, why);
    mask = opened == Opened::Empty ? Mask::Empty : opened == Opened::NullDevice ? Mask::NullDevice : Mask::None;
    bytes.clear();
    if (opened == Opened::Read) {
        QByteArray memory; // as large as the file: many may be kept
        memory.reserve(decltype(memory.size())(std::max<qint64>(size, 0) + 1));
        const FileBytes read = readFileBytes(fd, bytes, why, std::move(memory), size);
        ::close(fd);
        if (read == FileBytes::Read)
            return true;
    } else if (opened != Opened::Failed) {
        return true;
    }
    why = QStringLiteral("cannot read %1: %2").arg(QFile::decodeName(file.path), why);
    return false;
}

const KeyOrigin *findOrigin(const std::vector<KeyOrigin> &origins, const QString &key)
{
    const auto found = std::lower_bound(origins.begin(), origins.end(), key,
                                        [](const KeyOrigin &origin, const QString &k) { return origin.key < k; });
    return found != origins.end() && found->key == key ? &*found : nullptr;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
