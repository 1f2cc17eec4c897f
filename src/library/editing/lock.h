// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The lock of a save, FILE.lock, as every program that saves with this
// library takes it.
#ifndef PLINTO_YAML_LOCK_H
#define PLINTO_YAML_LOCK_H

#include <QLockFile>
#include <QString>

namespace plinto {
namespace yaml {
namespace detail {

// FILE.lock, held from lock() until this is destroyed. A lock left by a
// process that died is taken over; a live holder, however slow or stopped, is
// waited for a few seconds, never broken.
class SaveLock
{
public:
    explicit SaveLock(const QString &file);
    // False, with why (who holds it, or why it cannot be made), when the lock
    // cannot be had.
    bool lock(QString &why);

private:
    QString m_path;
    QLockFile m_lock;
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_LOCK_H
