#include "folder_watcher.h"

#include <QFile>
#include <QSet>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace platform
{

namespace
{

constexpr uint32_t folderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                  IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                  IN_ONLYDIR;

} // namespace

FolderWatcher::FolderWatcher(QObject *parent) : QObject(parent)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderWatcher::watchFolders(const QStringList &hostFolders)
{
    if (m_fd < 0)
        return false;
    m_error = 0;
    QHash<QString, int> watches;
    for (const QString &folder : hostFolders) {
        if (watches.contains(folder))
            continue;
        const auto known = m_watches.constFind(folder);
        if (known != m_watches.constEnd()) {
            watches.insert(folder, *known);
            continue;
        }
        const int wd = inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), folderEvents);
        if (wd >= 0)
            watches.insert(folder, wd);
        else if (m_error == 0)
            m_error = errno;
    }
    QSet<int> kept;
    for (const int wd : std::as_const(watches))
        kept.insert(wd);
    for (const int wd : std::as_const(m_watches)) {
        if (!kept.contains(wd)) {
            inotify_rm_watch(m_fd, wd);
            kept.insert(wd);
        }
    }
    m_watches = std::move(watches);
    return m_error == 0;
}

void FolderWatcher::readEvents()
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t size = ::read(m_fd, buffer, sizeof buffer);
        if (size <= 0)
            return;
        for (ssize_t at = 0; at < size;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_IGNORED) {
                // The kernel dropped the watch (its folder is gone): forget it.
                m_watches.removeIf(
                    [event](const auto &watch) { return watch.value() == event->wd; });
                continue;
            }
            Q_EMIT changed(event->len > 0 ? QByteArray(event->name) : QByteArray());
        }
    }
}

} // namespace platform
