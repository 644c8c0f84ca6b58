#include "paths.h"

#include <QFile>
#include <QStringDecoder>

namespace platform
{

namespace
{

bool hasDriveLetter(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
           path.at(0).unicode() < 0x80;
}

// Host bytes as text, nullopt when they are not valid in the file-name encoding. A
// byte-order mark at the start is a character of the name like any other, not a mark to drop.
std::optional<QString> decodeHostBytes(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::ConvertInitialBom |
                                                       QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// True when the text survives the trip to the file-name encoding and back unchanged.
bool encodesExactly(const QString &text)
{
    return decodeHostBytes(QFile::encodeName(text)) == text;
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

std::optional<QString> nameToProgramText(QByteArrayView hostName)
{
    if (hostName.isEmpty() || hostName.contains('\\'))
        return std::nullopt;
    return decodeHostBytes(hostName);
}

} // namespace platform
