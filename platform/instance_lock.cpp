#include "platform/instance_lock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

constexpr int looks = 500;      // at 10 ms apart, some five seconds for a holder to end
constexpr int killAtLook = 300; // SIGTERM has had some three seconds by then

void pause()
{
    const timespec tenMilliseconds{0, 10'000'000};
    nanosleep(&tenMilliseconds, nullptr);
}

struct flock wholeFileWriteLock()
{
    struct flock lock {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return lock;
}

// Whether the process runs as this user with every one of the arguments on its command line.
bool runsAsUserWith(pid_t pid, const QByteArrayList &arguments)
{
    const QByteArray folder = "/proc/" + QByteArray::number(pid);
    struct stat status {
    };
    if (::stat(folder.constData(), &status) != 0 || status.st_uid != ::geteuid())
        return false;
    QFile commandLine(QString::fromLatin1(folder + "/cmdline"));
    if (!commandLine.open(QIODevice::ReadOnly))
        return false;
    const QByteArrayList given = commandLine.read(1 << 20).split('\0');
    for (const QByteArray &argument : arguments) {
        if (!given.contains(argument))
            return false;
    }
    return true;
}

} // namespace

InstanceLock::InstanceLock(const QString &lockFile) : m_path(QFile::encodeName(lockFile))
{
    open(false);
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::open(bool create)
{
    if (m_fd >= 0)
        return true;
    if (create)
        QDir().mkpath(QFileInfo(QFile::decodeName(m_path)).absolutePath());
    m_fd =
        ::open(m_path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
    return m_fd >= 0;
}

bool InstanceLock::acquire(const QByteArrayList &holderArguments)
{
    if (!open(true))
        return false;
    // A process started at the same moment may take the lock between the stop and the next
    // try; that one is stopped in its turn.
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct flock lock = wholeFileWriteLock();
        if (::fcntl(m_fd, F_SETLK, &lock) == 0)
            return true;
        if (errno != EACCES && errno != EAGAIN)
            return false;
        const Stop stop = stopHolder(holderArguments);
        if (stop == Stop::NotOurs || stop == Stop::StillRunning)
            return false;
    }
    return false;
}

pid_t InstanceLock::holder() const
{
    if (m_fd < 0)
        return 0;
    struct flock lock = wholeFileWriteLock();
    if (::fcntl(m_fd, F_GETLK, &lock) != 0 || lock.l_type == F_UNLCK)
        return 0;
    return lock.l_pid > 0 ? lock.l_pid : -1;
}

InstanceLock::Stop InstanceLock::stopHolder(const QByteArrayList &holderArguments)
{
    pid_t signalled = 0;
    for (int look = 0; look < looks; ++look) {
        const pid_t pid = holder();
        if (pid == 0)
            return signalled != 0 ? Stop::Stopped : Stop::NoHolder;
        if (pid != signalled) {
            if (pid < 0 || !runsAsUserWith(pid, holderArguments))
                return Stop::NotOurs;
            ::kill(pid, SIGTERM);
            signalled = pid;
        } else if (look == killAtLook) {
            ::kill(pid, SIGKILL);
        }
        pause();
    }
    return Stop::StillRunning;
}

bool InstanceLock::waitForHolder(pid_t pid)
{
    for (int look = 0; look < looks; ++look) {
        if (open(false) && holder() == pid)
            return true;
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return false;
        pause();
    }
    return false;
}

} // namespace platform
