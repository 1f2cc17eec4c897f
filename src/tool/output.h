// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The edges that tarnwick and tarnwick-check share: the locale they start in,
// the file named on the command line, and writing to a descriptor.
#ifndef TARNWICK_OUTPUT_H
#define TARNWICK_OUTPUT_H

#include <QString>

#include <string_view>

namespace tarnwick {

// Call before the application object is made. Qt 6.5 and later, started in a
// locale whose character set is not UTF-8 (LANG unset, C, POSIX, a Latin-1
// locale, one not installed), switch the character type to UTF-8 and write
// four lines about it to standard error. Standard error is part of the
// commands' interface, so this makes the switch first, silently; nothing the
// commands do depends on the locale (file names are bytes, numbers are read
// and printed in C notation).
void startInUtf8Locale();

// Writes all the bytes, in as many writes as it takes, waiting for a
// non-blocking descriptor to drain. False when the output fails (a full
// disk, a closed descriptor).
bool writeAll(int descriptor, std::string_view bytes);

// The options that tarnwick-check, tarnwick-get and tarnwick-set take as
// their only argument: help (--help, and -h where hAsHelp) writes the usage
// to standard output, --version its first line. The exit status to end with
// (0, or 2 when standard output fails); -1 when the argument is no such
// option, or not the only one.
int answerOption(int argc, char *argv[], std::string_view usage, bool hAsHelp = false);

// The argument is --help or --version.
bool isHelpOrVersion(const char *argument);

// The file named by a command-line argument, as a name that QFile opens. Qt
// reads arguments as UTF-8; a name whose bytes do not survive that (Latin-1,
// say) is opened by its own bytes and named through /dev/fd.
class ArgumentFile
{
public:
    explicit ArgumentFile(const char *argument);
    ~ArgumentFile();
    ArgumentFile(const ArgumentFile &) = delete;
    ArgumentFile &operator=(const ArgumentFile &) = delete;

    QString name() const { return m_name; }

private:
    QString m_name;
    int m_descriptor = -1;
};

} // namespace tarnwick

#endif // TARNWICK_OUTPUT_H
