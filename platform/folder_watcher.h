#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

namespace platform
{

// Folders watched through the kernel's inotify: any entry of a watched folder created,
// written, renamed, removed or changed in its attributes is reported in the event loop.
// Nothing is polled: a watcher with nothing to report costs no processor time.
class FolderWatcher : public QObject
{
    Q_OBJECT

public:
    explicit FolderWatcher(QObject *parent = nullptr);
    ~FolderWatcher() override;

    // Watches exactly these folders (host paths): the new ones are added, the others dropped.
    // False when one of them could not be watched; error() then tells why (ENOSPC when the
    // user's inotify watches, fs.inotify.max_user_watches, are all taken).
    bool watchFolders(const QStringList &hostFolders);
    int error() const { return m_error; }

Q_SIGNALS:
    // An entry of a watched folder changed; an empty name when it was the folder itself, or
    // when events were lost and anything may have changed.
    void changed(const QByteArray &name);

private:
    void readEvents();

    int m_fd = -1;
    int m_error = 0;
    QSocketNotifier *m_notifier = nullptr;
    QHash<QString, int> m_watches; // folder -> watch descriptor; renamed folders may share one
};

} // namespace platform
