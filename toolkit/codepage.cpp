#include "toolkit/codepage.h"

#include <QStringDecoder>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>

#include <utility>
#endif

namespace codepage {

namespace {

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

#ifdef Q_OS_WIN

constexpr UINT windowsCodePage = 932;

// Single bytes Windows' table maps to characters of its own (U+0080, U+F8F0..U+F8F3) that no
// Japanese text holds; the C library knows them as no character at all, and so do we.
bool isStrayByte(unsigned char byte)
{
    return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}

// Converts one run of bytes; false when Windows finds a byte outside the code page (without
// MB_ERR_INVALID_CHARS it would put its default character there, which reads as text).
bool convert(QByteArrayView bytes, QString &out)
{
    const int size = MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                         int(bytes.size()), nullptr, 0);
    if (size <= 0)
        return false;
    const qsizetype at = out.size();
    out.resize(at + size);
    MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t *>(out.data() + at), size);
    return true;
}

QString decoded(QByteArrayView bytes)
{
    QString text;
    if (bytes.isEmpty())
        return text;
    const bool stray = std::any_of(bytes.begin(), bytes.end(), [](char c) {
        return isStrayByte(static_cast<unsigned char>(c));
    });
    if (!stray && convert(bytes, text))
        return text;
    // Character by character, as the C library does elsewhere: a byte that starts no character
    // of the code page reads as a replacement character, and the next byte is tried on its own.
    text.clear();
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = isLeadByte(byte) && i + 1 < bytes.size() ? 2 : 1;
        if (!isStrayByte(byte) && convert(bytes.sliced(i, length), text)) {
            i += length;
        } else {
            text += QChar::ReplacementCharacter;
            ++i;
        }
    }
    return text;
}

QByteArray encoded(QStringView text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size = WideCharToMultiByte(windowsCodePage, WC_NO_BEST_FIT_CHARS, wide,
                                         int(text.size()), nullptr, 0, "?", nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(windowsCodePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), bytes.data(),
                        size, "?", nullptr);
    return bytes;
}

#else

// Converts with the C library; at a sequence it cannot convert, `skip` says how many input
// bytes to pass over and what to put out instead.
template<class Skip>
QByteArray converted(const char *to, const char *from, QByteArrayView input, Skip skip)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return QByteArray();
    // Four bytes out for each one in is more than either direction needs.
    QByteArray output(input.size() * 4, Qt::Uninitialized);
    char *in = const_cast<char *>(input.data());
    size_t inLeft = size_t(input.size());
    char *out = output.data();
    size_t outLeft = size_t(output.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ)
            break; // EINVAL: an incomplete sequence at the end
        const auto [passed, instead] = skip(QByteArrayView(in, qsizetype(inLeft)));
        in += passed;
        inLeft -= size_t(passed);
        for (const char c : instead) {
            *out++ = c;
            --outLeft;
        }
    }
    iconv_close(cd);
    output.truncate(out - output.data());
    return output;
}

QString decoded(QByteArrayView bytes)
{
    return QString::fromUtf8(converted("UTF-8", "CP932", bytes, [](QByteArrayView) {
        return std::pair{qsizetype(1), QByteArrayView("\xEF\xBF\xBD")}; // U+FFFD
    }));
}

QByteArray encoded(QStringView text)
{
    return converted("CP932", "UTF-8", text.toUtf8(), [](QByteArrayView rest) {
        // The whole UTF-8 sequence of the character.
        const auto lead = static_cast<unsigned char>(rest.front());
        const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return std::pair{qMin(length, rest.size()), QByteArrayView("?")};
    });
}

#endif

} // namespace

QByteArrayView wholeCharacters(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size())
        i += isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    return i > bytes.size() ? bytes.chopped(1) : bytes;
}

QString fromCp932(QByteArrayView bytes)
{
    return decoded(wholeCharacters(bytes));
}

QByteArray toCp932(QStringView text)
{
    return encoded(text);
}

Kind kindOf(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return Kind::Ascii;
    // CP932 bytes are hardly ever valid UTF-8: most of its lead bytes are UTF-8's continuation
    // bytes, and its half-width katakana stand alone.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError())
        return Kind::Utf8;
    const bool whole = wholeCharacters(bytes).size() == bytes.size();
    return whole && !decoded(bytes).contains(QChar::ReplacementCharacter) ? Kind::Cp932
                                                                          : Kind::Neither;
}

} // namespace codepage
