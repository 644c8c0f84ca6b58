#include "windows1252.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace platform
{

namespace
{

// Characters of the bytes 0x80 to 0x9F, where Windows-1252 departs from Latin-1. The five
// bytes it leaves undefined keep the C1 control of the same value, so that they round-trip.
constexpr std::array<char16_t, 32> upperControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 256> makeTable()
{
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = static_cast<char16_t>(b);
    for (int i = 0; i < 32; ++i)
        table[0x80 + i] = upperControls[i];
    return table;
}

constexpr std::array<char16_t, 256> byteToChar = makeTable();

// The byte for a code point, or -1 when Windows-1252 has none.
int byteFor(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<int>(codePoint);
    for (int i = 0; i < 32; ++i) {
        if (upperControls[i] == codePoint)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes)
        *out++ = QChar(byteToChar[static_cast<unsigned char>(byte)]);
    return text;
}

QByteArray encodeWindows1252(QStringView text)
{
    QByteArray bytes;
    appendWindows1252(bytes, text);
    return bytes;
}

// Characters up to U+00FF that Latin-1 and Windows-1252 share are copied in one pass, a byte
// each; from the first other character on, each is looked up.
void appendWindows1252(QByteArray &bytes, QStringView text)
{
    const qsizetype start = bytes.size();
    bytes.resize(start + text.size());
    char *const first = bytes.data() + start;
    char *out = first;
    const char16_t *in = text.utf16();
    const char16_t *const end = in + text.size();
    // ASCII, the most common case, four characters at a time.
    for (std::uint64_t four; end - in >= 4; in += 4, out += 4) {
        std::memcpy(&four, in, sizeof four);
        if (four & 0xFF80FF80FF80FF80u)
            break;
        for (int k = 0; k < 4; ++k)
            out[k] = static_cast<char>(in[k]);
    }
    for (; in != end; ++in) {
        const char16_t u = *in;
        if (u >= 0x100 || (u >= 0x80 && u < 0xA0))
            break;
        *out++ = static_cast<char>(u);
    }
    const qsizetype copied = out - first;
    bytes.truncate(start + copied);
    for (qsizetype i = copied; i < text.size(); ++i) {
        char32_t codePoint = text.at(i).unicode();
        if (QChar::isHighSurrogate(codePoint) && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        const int byte = byteFor(codePoint);
        if (byte >= 0)
            bytes.append(static_cast<char>(byte));
        else
            bytes += "&#" + QByteArray::number(static_cast<uint>(codePoint)) + ';';
    }
}

} // namespace platform
