#include "paths.h"

#include <QFile>

namespace platform
{

namespace
{

bool hasDriveLetter(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
           path.at(0).unicode() < 0x80;
}

// True when the text survives the trip to the file-name encoding and back unchanged.
bool encodesExactly(const QString &text)
{
    return QFile::decodeName(QFile::encodeName(text)) == text;
}

} // namespace

std::optional<QString> toHostPath(const QString &programPath)
{
    if (hasDriveLetter(programPath) || programPath.contains(QChar(0)) ||
        !encodesExactly(programPath))
        return std::nullopt;
    QString host = programPath;
    host.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return host;
}

std::optional<QByteArray> toHostBytes(const QString &programPath)
{
    const std::optional<QString> host = toHostPath(programPath);
    if (!host)
        return std::nullopt;
    return QFile::encodeName(*host);
}

QString toProgramPath(const QString &hostPath)
{
    QString program = hostPath;
    program.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return program;
}

std::optional<QString> nameToProgramText(const QByteArray &hostName)
{
    if (hostName.isEmpty() || hostName.contains('\\'))
        return std::nullopt;
    QString name = QFile::decodeName(hostName);
    if (QFile::encodeName(name) != hostName)
        return std::nullopt;
    return name;
}

} // namespace platform
