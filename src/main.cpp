// tarnwick: dumps every entry of an entry file, with its numeric readings.
#include "dump.h"
#include "yaml.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

void writeLine(const std::string &line)
{
    std::cout.write(line.data(), std::streamsize(line.size()));
    std::cout.flush();
}

} // namespace

[[noreturn]] void printHelp()
{
    writeLine("tarnwick version: " TARNWICK_VERSION_STRING "\n");
    writeLine("tarnwick yamlFile\n");
    std::exit(0);
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
        std::cerr << "Error parsing " << argv[1];
        std::cerr.flush();
        return 1;
    }

    std::string line;
    const QStringList keys = reader.keys();
    for (const QString &key : keys) {
        line.clear();
        tarnwick::appendDumpLine(line, reader, key);
        writeLine(line);
    }
    return 0;
}
