#pragma once

#include <QByteArrayList>
#include <QString>

#include <sys/types.h>

namespace platform
{

// A lock on a file that one process at a time holds, for as long as it runs: a POSIX record
// lock, which the kernel releases however its holder ends. The file stays; only the lock
// counts, and the kernel says which process holds it.
class InstanceLock
{
public:
    enum class Stop { NoHolder, Stopped, NotOurs, StillRunning };

    explicit InstanceLock(const QString &lockFile);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Takes the lock, first stopping the process that holds it (see stopHolder). False when
    // that process is not one to stop, or the file cannot be made.
    bool acquire(const QByteArrayList &holderArguments);
    // The process that holds the lock, 0 when none does, -1 when one that this process cannot
    // see does (in another PID namespace).
    pid_t holder() const;
    // Stops the holder when it runs as this user with every one of holderArguments on its
    // command line: SIGTERM, then SIGKILL if it still holds the lock after a few hundred
    // looks. Another holder is left alone (NotOurs).
    Stop stopHolder(const QByteArrayList &holderArguments);
    // Waits, for a bounded number of looks, until the process pid holds the lock; false when
    // it ends first. The file need not exist yet.
    bool waitForHolder(pid_t pid);

private:
    bool open(bool create);

    QByteArray m_path;
    int m_fd = -1;
};

} // namespace platform
