// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The environment's layer: names made from keys, values read by the format's
// own rules.
#include "environment.h"

#include "reading/syntax.h"

#include <unistd.h>

#include <cstring>

extern char **environ;

namespace plinto {
namespace yaml {
namespace detail {

QByteArray variableName(const QByteArray &prefix, const QString &key)
{
    QByteArray name = prefix;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            name += char(u - 'a' + 'A');
        else if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
            name += char(u);
        else
            name += '_';
    }
    return name;
}

std::map<QByteArray, QByteArray> variablesWithPrefix(const QByteArray &prefix)
{
    std::map<QByteArray, QByteArray> variables;
    for (char **variable = environ; variable && *variable; ++variable) {
        const char *text = *variable;
        const char *equals = std::strchr(text, '=');
        if (!equals || std::strncmp(text, prefix.constData(), size_t(prefix.size())) != 0
            || equals - text < prefix.size())
            continue;
        variables.emplace(QByteArray(text, int(equals - text)), QByteArray(equals + 1));
    }
    return variables;
}

bool readValue(const QByteArray &value, QStringList &items, QString &why)
{
    if (value.contains('\n')) {
        why = QStringLiteral("a value may not hold a line feed");
        return false;
    }
    const std::string line = "v: " + value.toStdString() + '\n';
    EntryLine entry;
    if (!readEntry(Bytes(line), entry)) {
        why = QStringLiteral("a value may not hold a colon");
        return false;
    }
    QStringList read;
    for (const Bytes item : entry.items)
        read.append(QString::fromLatin1(item.data(), int(item.size())));
    items = read;
    return true;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
