// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A program whose default configuration is compiled into it as a Qt resource.
#include <plinto/yaml.h>

#include <QDebug>

int main()
{
    plinto::yaml::Reader reader;
    if (!reader.parse(QStringLiteral(":/defaults.yaml")))
        return 1;
    const QStringList keys = reader.keys();
    if (reader.parse(QStringLiteral(":/missing.yaml")) || reader.keys() != keys)
        return 1; // a missing resource is a failed parse that changes nothing
    qInfo() << reader.entryForKey(QStringLiteral("robot_name"))
            << reader.realVectorEntryForKey(QStringLiteral("pid_gains"));
    return 0;
}
