// Bytes to lines: one growing read buffer, scanned with memchr.
#include "lines.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <limits>
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

} // namespace

bool readLines(QIODevice &device, const std::function<void(Bytes line)> &onLine)
{
    const size_t chunk = chunkSize(device);
    std::vector<char> buffer(chunk);
    size_t start = 0;  // first byte of the line being read
    size_t filled = 0; // bytes held in the buffer
    bool cut = false;  // the line being read holds a NUL: drop the rest up to its line feed
    bool firstLine = true;

    const auto takeLine = [&](size_t end) {
        Bytes line(buffer.data() + start, end - start);
        if (firstLine) {
            firstLine = false;
            if (line.size() >= 3 && std::memcmp(line.data(), "\xEF\xBB\xBF", 3) == 0)
                line.remove_prefix(3);
        }
        onLine(line);
    };
    const auto find = [&buffer](char c, size_t from, size_t to) -> size_t {
        const void *hit = std::memchr(buffer.data() + from, c, to - from);
        return hit ? size_t(static_cast<const char *>(hit) - buffer.data()) : to;
    };

    for (;;) {
        // Make room: move the line being read to the front, or grow for a long line.
        if (start > 0 && buffer.size() - filled < chunk / 2) {
            std::memmove(buffer.data(), buffer.data() + start, filled - start);
            filled -= start;
            start = 0;
        }
        if (buffer.size() - filled < chunk / 2)
            buffer.resize(buffer.size() * 2);

        const qint64 got = device.read(buffer.data() + filled, qint64(buffer.size() - filled));
        if (got < 0)
            return false;
        if (got == 0)
            break;

        size_t scan = filled;
        filled += size_t(got);
        if (cut) { // only the line feed that ends the cut line matters
            const size_t lf = find('\n', scan, filled);
            if (lf == filled) {
                filled = scan;
                continue;
            }
            takeLine(scan);
            start = lf + 1;
            scan = start;
            cut = false;
        }
        for (size_t lf; (lf = find('\n', scan, filled)) < filled;) {
            takeLine(lf + 1);
            start = scan = lf + 1;
        }
        const size_t nul = find('\0', scan, filled);
        if (nul < filled) {
            filled = nul + 1;
            cut = true;
        } else if (filled - start > maxLineSize) {
            filled = start; // too long to hold as text: the line is skipped
            cut = true;
        }
    }
    if (filled > start)
        takeLine(filled);
    return true;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
