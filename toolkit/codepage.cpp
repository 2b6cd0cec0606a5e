#include "toolkit/codepage.h"

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

QString decoded(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const int size =
        MultiByteToWideChar(windowsCodePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(windowsCodePage, 0, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t *>(text.data()), size);
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

} // namespace codepage
