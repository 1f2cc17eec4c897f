// tarnwick: dumps every entry of an entry file, with its numeric readings.
#include "dump.h"
#include "yaml.h"

#include <QCoreApplication>
#include <QStringList>

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

    const QString fileName = arguments.first();
    plinto::yaml::Reader reader;
    if (!reader.parse(fileName)) {
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
