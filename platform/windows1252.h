#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The program's 8-bit character set. Every byte maps to one character and back; the five
// bytes that Windows-1252 leaves undefined map to the C1 controls of the same value.
namespace platform
{

QString decodeWindows1252(QByteArrayView bytes);

// Each character that Windows-1252 holds becomes its byte; any other character becomes an
// HTML numeric character reference ("&#937;"), so that a page still shows it.
QByteArray encodeWindows1252(QStringView text);
// The same, appended to bytes.
void appendWindows1252(QByteArray &bytes, QStringView text);

} // namespace platform
