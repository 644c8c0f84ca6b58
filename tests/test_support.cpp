#include "test_support.h"

#include "platform/paths.h"
#include "platform/runtime_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdlib>

#include <grp.h>
#include <unistd.h>

namespace
{

// Runs before main: a private HOME and XDG folders for this process.
struct PrivateHome {
    QTemporaryDir dir;
    PrivateHome()
    {
        const QByteArray home = QFile::encodeName(dir.path());
        setenv("HOME", home.constData(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").constData(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").constData(), 1);
        setenv("XDG_CACHE_HOME", (home + "/cache").constData(), 1);
        setenv("XDG_STATE_HOME", (home + "/state").constData(), 1);
        setenv("XDG_RUNTIME_DIR", home.constData(), 1);
    }
};
const PrivateHome privateHome;

} // namespace

namespace support
{

void writeFile(const QString &hostPath, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    QFile f(hostPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(hostPath));
}

QByteArray readFile(const QString &hostPath)
{
    QFile f(hostPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray dataFile(const char *name)
{
    return readFile(QStringLiteral(SIGNETOR_DATA "/") + QString::fromUtf8(name));
}

QByteArray shortcut(const QByteArray &url)
{
    return "[InternetShortcut]\r\nURL=" + url + "\r\n";
}

QString programFolder(const QString &hostFolder)
{
    QString p = platform::toProgramPath(QDir(hostFolder).absolutePath());
    if (!p.endsWith(QLatin1Char('\\')))
        p += QLatin1Char('\\');
    return p;
}

Tree::Tree()
    : dir((QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                     : QDir::tempPath()) +
          QStringLiteral("/signetor-XXXXXX"))
{
}

QString Tree::program(QByteArrayView relative) const
{
    return programFolder(dir.path()) + QString::fromUtf8(relative).replace(u'/', u'\\');
}

QString Tree::file(QByteArrayView relative, const QByteArray &bytes) const
{
    writeFile(host(relative), bytes);
    return program(relative);
}

QByteArray output(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "echec : " + p.readAllStandardError();
    return p.readAllStandardOutput();
}

int errorNumberOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const platform::RuntimeError &error) {
        return error.number();
    }
    return 0;
}

void copyTree(const QString &from, const QString &to)
{
    QDirIterator files(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    if (!files.hasNext())
        qFatal("no data in %s", qPrintable(from));
    while (files.hasNext()) {
        const QString file = files.next();
        writeFile(to + file.mid(from.size()),
                  readFile(file).replace("@DEST@", QFile::encodeName(to)));
    }
}

QString copyForNobody(const QString &program)
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/signetor-nobody-XXXXXX"));
    const QString copy = folder.filePath(QFileInfo(program).fileName());
    if (!QFile::exists(copy) &&
        (!QFile::copy(program, copy) ||
         !QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadOther |
                                                   QFile::ExeOther)))
        qFatal("cannot copy %s", qPrintable(program));
    return copy;
}

void runAsNobody(QProcess &process)
{
    if (geteuid() == 0)
        process.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
        });
}

QByteArray rerunAsNobody(const QString &testFunction)
{
    QProcess enfant;
    runAsNobody(enfant);
    enfant.setProcessChannelMode(QProcess::MergedChannels);
    enfant.start(copyForNobody(QCoreApplication::applicationFilePath()), {testFunction});
    const bool fini = enfant.waitForFinished(120000);
    const QByteArray sortie = enfant.readAll();
    return fini && enfant.exitStatus() == QProcess::NormalExit && enfant.exitCode() == 0
               ? QByteArray()
               : "failed as nobody:\n" + sortie;
}

} // namespace support
