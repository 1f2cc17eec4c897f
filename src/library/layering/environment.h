// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The environment's layer: the variable that overrides a key, and the items
// its value reads as, as the twelve-factor programs are configured.
#ifndef PLINTO_YAML_ENVIRONMENT_H
#define PLINTO_YAML_ENVIRONMENT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

namespace plinto {
namespace yaml {
namespace detail {

// The variable that overrides the key: the prefix, then the key with a-z
// upper-cased and every other character but A-Z and 0-9 written '_'
// ("max-speed" with "ROBOT_" is "ROBOT_MAX_SPEED").
QByteArray variableName(const QByteArray &prefix, const QString &key);

// The process's variables whose names start with the prefix, by name.
std::map<QByteArray, QByteArray> variablesWithPrefix(const QByteArray &prefix);

// The items that the value reads as after a colon, as a line of a file reads
// (a value in brackets is a list); false, with why, where it reads as none (a
// colon in it, a line feed).
bool readValue(const QByteArray &value, QStringList &items, QString &why);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_ENVIRONMENT_H
