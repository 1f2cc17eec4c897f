// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The edges that tarnwick and tarnwick-check share.
#include "output.h"

#include <QFile>

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

namespace tarnwick {

void startInUtf8Locale()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt sets the locale from the environment as the application object is
    // made, so the environment is where the choice goes.
    std::setlocale(LC_ALL, "");
    const char *codeset = nl_langinfo(CODESET);
    if (strcasecmp(codeset, "UTF-8") != 0 && strcasecmp(codeset, "utf8") != 0)
        ::setenv("LC_ALL", "C.UTF-8", 1);
#endif
}

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

bool isHelpOrVersion(const char *argument)
{
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "--version") == 0;
}

int answerOption(int argc, char *argv[], std::string_view usage, bool hAsHelp)
{
    if (argc != 2)
        return -1;
    if (std::strcmp(argv[1], "--help") == 0 || (hAsHelp && std::strcmp(argv[1], "-h") == 0))
        return writeAll(STDOUT_FILENO, usage) ? 0 : 2;
    if (std::strcmp(argv[1], "--version") == 0)
        return writeAll(STDOUT_FILENO, usage.substr(0, usage.find('\n') + 1)) ? 0 : 2;
    return -1;
}

ArgumentFile::ArgumentFile(const char *argument) : m_name(QFile::decodeName(argument))
{
    if (QFile::encodeName(m_name) == QByteArray(argument))
        return;
    m_descriptor = ::open(argument, O_RDONLY | O_CLOEXEC);
    if (m_descriptor >= 0)
        m_name = QStringLiteral("/dev/fd/%1").arg(m_descriptor);
}

ArgumentFile::~ArgumentFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

} // namespace tarnwick
