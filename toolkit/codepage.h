#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows code page 932: Shift-JIS as Japanese Windows programs write it, with the NEC and IBM
// extensions (①, 髙, 﨑) and half-width katakana. Windows converts with its own table, other
// systems with the C library's "CP932"; both know the whole code page.
namespace codepage {

// The text of CP932 bytes. A lead byte without its second byte at the end (a text cut to a
// number of bytes) is dropped; other bytes outside the code page read as a replacement
// character.
QString fromCp932(QByteArrayView bytes);

// The CP932 bytes of a text; a character the code page lacks becomes '?'.
QByteArray toCp932(QStringView text);

// The bytes without a last lead byte whose second byte is missing.
QByteArrayView wholeCharacters(QByteArrayView bytes);

// What a text's bytes are, told from the bytes alone (never from what a connection made of
// them): ASCII, the same in either encoding; UTF-8 beyond ASCII; CP932, which is no UTF-8 and
// holds nothing outside the code page; or neither.
enum class Kind
{
    Ascii,
    Utf8,
    Cp932,
    Neither
};
Kind kindOf(QByteArrayView bytes);

} // namespace codepage
