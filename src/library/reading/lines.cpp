// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Bytes to lines: one growing read buffer, scanned with memchr.
#include "lines.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
constexpr size_t maxLineSize = std::numeric_limits<size_t>::max();
#else
constexpr size_t maxLineSize = size_t(1) << 30; // Qt 5 strings hold no more
#endif

// Reads of up to 1 MiB, less for a small file (pipes and /proc files report
// no size); the buffer grows past that only to hold a longer line.
size_t chunkSize(const QIODevice &device)
{
    const qint64 knownSize = device.size();
    return knownSize > 0 ? size_t(std::clamp<qint64>(knownSize, 4095, (1 << 20) - 1)) + 1 : size_t(1) << 16;
}

// The read buffer, and the line being read in it.
class LineReader
{
public:
    LineReader(QIODevice &device, const std::function<void(Bytes line)> &onLine)
        : m_device(device), m_onLine(onLine), m_chunk(chunkSize(device)), m_buffer(m_chunk)
    { }

    // Reads until a read returns no more data; false on a read error.
    bool readAll()
    {
        for (;;) {
            makeRoom();
            const qint64 got = m_device.read(m_buffer.data() + m_filled, qint64(m_buffer.size() - m_filled));
            if (got < 0)
                return false;
            if (got == 0 && moreToCome())
                continue;
            if (got == 0)
                break;
            takeLines(size_t(got));
        }
        if (m_filled > m_start)
            takeLine(m_filled);
        return true;
    }

private:
    // A socket or a process with nothing to read yet: waits until it has, or
    // has ended. Files and buffers end where a read returns nothing.
    bool moreToCome()
    {
        return m_device.isSequential() && m_device.waitForReadyRead(-1) && m_device.bytesAvailable() > 0;
    }

    // Half a chunk free for the next read: the line being read moves to the
    // front, or the buffer grows for a long line.
    void makeRoom()
    {
        if (m_start > 0 && m_buffer.size() - m_filled < m_chunk / 2) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_start, m_filled - m_start);
            m_filled -= m_start;
            m_start = 0;
        }
        if (m_buffer.size() - m_filled < m_chunk / 2)
            m_buffer.resize(m_buffer.size() * 2);
    }

    // Hands on each line that the bytes just read complete, and keeps no
    // more of the line still being read than its text.
    void takeLines(size_t got)
    {
        size_t scan = m_filled;
        m_filled += got;
        if (m_cut) { // only the line feed that ends the cut line matters
            const size_t lf = find('\n', scan);
            if (lf == m_filled) {
                m_filled = scan;
                return;
            }
            takeLine(scan);
            m_start = scan = lf + 1;
            m_cut = false;
        }
        for (size_t lf; (lf = find('\n', scan)) < m_filled;) {
            takeLine(lf + 1);
            m_start = scan = lf + 1;
        }
        const size_t nul = find('\0', scan);
        if (nul < m_filled) {
            m_filled = nul + 1; // the NUL ends the text: what follows is dropped
            m_cut = true;
        } else if (m_filled - m_start > maxLineSize) {
            m_filled = m_start; // too long to hold as text: the line is skipped
            m_cut = true;
        }
    }

    void takeLine(size_t end)
    {
        Bytes line(m_buffer.data() + m_start, end - m_start);
        if (m_firstLine) {
            m_firstLine = false;
            if (line.size() >= 3 && std::memcmp(line.data(), "\xEF\xBB\xBF", 3) == 0)
                line.remove_prefix(3); // a UTF-8 byte-order mark
        }
        m_onLine(line);
    }

    // The first c in the unscanned bytes from `from`, or m_filled.
    size_t find(char c, size_t from) const
    {
        const void *hit = std::memchr(m_buffer.data() + from, c, m_filled - from);
        return hit ? size_t(static_cast<const char *>(hit) - m_buffer.data()) : m_filled;
    }

    QIODevice &m_device;
    const std::function<void(Bytes line)> &m_onLine;
    const size_t m_chunk;
    std::vector<char> m_buffer;
    size_t m_start = 0;  // first byte of the line being read
    size_t m_filled = 0; // bytes held in the buffer
    bool m_cut = false;  // the line being read holds a NUL: drop the rest up to its line feed
    bool m_firstLine = true;
};

} // namespace

bool readLines(QIODevice &device, const std::function<void(Bytes line)> &onLine)
{
    return LineReader(device, onLine).readAll();
}

void splitLines(Bytes file, const std::function<void(Bytes line)> &onLine)
{
    if (file.size() >= 3 && std::memcmp(file.data(), "\xEF\xBB\xBF", 3) == 0)
        file.remove_prefix(3); // a UTF-8 byte-order mark
    while (!file.empty()) {
        const size_t lf = file.find('\n');
        const Bytes line = file.substr(0, lf == Bytes::npos ? file.size() : lf + 1);
        const size_t nul = line.find('\0');
        onLine(nul == Bytes::npos ? line : line.substr(0, nul + 1)); // a NUL ends the text
        file.remove_prefix(line.size());
    }
}

bool readDeviceLines(QIODevice &device, const std::function<void(Bytes line)> &onLine)
{
    if (!device.isReadable())
        return false;
    try {
        return readLines(device, onLine);
    } catch (const std::bad_alloc &) {
        return false; // a line or a file too large for memory
    }
}

bool readFileLines(const QString &fileName, const std::function<void(Bytes line)> &onLine)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && readDeviceLines(file, onLine);
}

} // namespace detail
} // namespace yaml
} // namespace plinto
