// tarnwick: dumps every entry of an entry file, with its numeric readings.
#include "dump.h"
#include "yaml.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Writes the bytes to the descriptor at once, in as many writes as it takes:
// each dump line is out of the process before the next is made. False when
// the output fails (a full disk, a closed descriptor); the caller stops.
bool writeAll(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(size_t(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A non-blocking descriptor from the caller: wait until it drains.
            pollfd out = {descriptor, POLLOUT, 0};
            if (::poll(&out, 1, -1) < 0 && errno != EINTR)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

[[noreturn]] void printHelp()
{
    const bool written = writeAll(STDOUT_FILENO, "tarnwick version: " TARNWICK_VERSION_STRING "\n")
            && writeAll(STDOUT_FILENO, "tarnwick yamlFile\n");
    std::exit(written ? EXIT_SUCCESS : EXIT_FAILURE);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick"));

    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    if (arguments.size() != 1 || argc != 2)
        printHelp();

    // Qt reads the argument as UTF-8. A name whose bytes do not survive that
    // (Latin-1, say) is opened by its own bytes and read through the descriptor.
    QString fileName = arguments.first();
    int descriptor = -1;
    if (QFile::encodeName(fileName) != QByteArray(argv[1])) {
        descriptor = ::open(argv[1], O_RDONLY | O_CLOEXEC);
        if (descriptor >= 0)
            fileName = QStringLiteral("/dev/fd/%1").arg(descriptor);
    }

    plinto::yaml::Reader reader;
    const bool parsed = reader.parse(fileName);
    if (descriptor >= 0)
        ::close(descriptor);
    if (!parsed) {
        // The name exactly as it was typed, whatever its encoding.
        writeAll(STDERR_FILENO, std::string("Error parsing ") + argv[1]);
        return EXIT_FAILURE;
    }

    std::string line;
    const QStringList keys = reader.keys();
    for (const QString &key : keys) {
        line.clear();
        tarnwick::appendDumpLine(line, reader, key);
        if (!writeAll(STDOUT_FILENO, line))
            std::exit(EXIT_FAILURE);
    }
    // Done: the process ends without taking the store apart string by string,
    // which on a large file would take a tenth of the run.
    std::exit(EXIT_SUCCESS);
}
