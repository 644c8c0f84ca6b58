#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A favourites source that names a file which cannot be read or parsed. Its message is
// French and names the file; the window shows it in a message box and the command line
// prints it. No page is written.
class ErreurSource : public std::exception
{
public:
    ErreurSource(QString fichier, QString message);

    const QString &fichier() const { return m_fichier; }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

    // The usual failures, each naming the file.
    static ErreurSource illisible(const QString &fichier);
    static ErreurSource inconnu(const QString &fichier);
    static ErreurSource endommage(const QString &fichier);
    static ErreurSource tropGrand(const QString &fichier, qint64 maxOctets);
    static ErreurSource tropComplexe(const QString &fichier);

private:
    QString m_fichier;
    QString m_message;
    QByteArray m_what;
};
