#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Small helpers shared by the tests. Every test process runs with its own temporary HOME
// and XDG folders (set before main), so nothing reaches the user's real settings.
namespace support
{

// Writes bytes to a host path, creating the folders on the way.
void writeFile(const QString &hostPath, const QByteArray &bytes);
QByteArray readFile(const QString &hostPath);
// A file of tests/data, by its path there; empty when it is missing.
QByteArray dataFile(const char *name);

// A well-formed Internet shortcut for this URL, with CR LF line ends.
QByteArray shortcut(const QByteArray &url);

// A host folder path in program form, ending with "\".
QString programFolder(const QString &hostFolder);

// A tree of files in a fresh temporary folder (in memory where the host offers it, as making
// many files on disk is slow), named by host paths relative to its root ("a/b.url").
struct Tree {
    QTemporaryDir dir;
    Tree();
    QString host(QByteArrayView relative = {}) const
    {
        return dir.filePath(QString::fromUtf8(relative));
    }
    // In program form; the root itself ends with "\".
    QString program(QByteArrayView relative = {}) const;
    // These write the file, creating its folders, and give its program path.
    QString file(QByteArrayView relative, const QByteArray &bytes) const;
    QString link(QByteArrayView relative, const QByteArray &url) const
    {
        return file(relative, shortcut(url));
    }
};

// Runs a program to its end: its standard output, or "echec : " and its errors when it fails.
QByteArray output(const QString &program, const QStringList &arguments);

// The number of the run-time error that a call throws, 0 when it throws none.
int errorNumberOf(const std::function<void()> &call);

// The rows of a link table as "folder|name|URL", in table order.
template <class Table> QStringList rows(const Table &liens)
{
    QStringList r;
    for (const auto &lien : liens)
        r << lien.dossier + u'|' + lien.nom + u'|' + lien.url;
    return r;
}

// Copies the files of a folder tree into another folder (folders made on the way); "@DEST@"
// in a copied file stands for the destination folder's path.
void copyTree(const QString &from, const QString &to);

// A copy of a program that user nobody may run: the build folder may be closed to other users
// (a scratch copy in a private temporary folder), and some tests run as nobody.
QString copyForNobody(const QString &program);

// As root, makes a process about to start run as user nobody, with no other group.
void runAsNobody(QProcess &process);

// As root, runs the current test function again in a copy of this test program run as nobody:
// empty when it passed, else what it printed.
QByteArray rerunAsNobody(const QString &testFunction);

} // namespace support
