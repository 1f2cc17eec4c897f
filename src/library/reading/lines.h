// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Bytes to lines: any readable file or device, read to its real end, handed
// on one line at a time.
#ifndef PLINTO_YAML_LINES_H
#define PLINTO_YAML_LINES_H

#include <QtGlobal>

#include <functional>
#include <string_view>

QT_BEGIN_NAMESPACE
class QIODevice;
class QString;
QT_END_NAMESPACE

namespace plinto {
namespace yaml {
namespace detail {

// Bytes are Latin-1 characters throughout: the stages work on bytes, and
// only what is stored becomes a QString.
using Bytes = std::string_view;

// Reads the device until a read returns no more data (and a socket or a
// process has no more to come), and calls onLine with
// each line: its bytes up to and including its line feed, if it has one. A
// UTF-8 byte-order mark at the very start is skipped. A NUL byte ends a
// line's text, so the rest of such a line is dropped as it arrives (the NUL
// itself is handed on): a stream of NULs takes no memory. Returns false on a
// read error; throws std::bad_alloc for a line too long for memory.
bool readLines(QIODevice &device, const std::function<void(Bytes line)> &onLine);

// Reads an open device with readLines. False when it is not open for
// reading, a read fails, or a line is too long for memory.
bool readDeviceLines(QIODevice &device, const std::function<void(Bytes line)> &onLine);

// The same lines from bytes in memory: a whole file, as readLines hands on its
// lines.
void splitLines(Bytes file, const std::function<void(Bytes line)> &onLine);

// Opens the file and reads it with readLines. False when it cannot be opened,
// a read fails, or a line is too long for memory.
bool readFileLines(const QString &fileName, const std::function<void(Bytes line)> &onLine);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_LINES_H
