#pragma once
// The two encodings of the suite's text files: UTF-8, and Windows-1252 for
// the files written on Windows.  A file (or a line) that is valid UTF-8 is
// read as UTF-8, any other as Windows-1252.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quarvel {

// Every byte as its Windows-1252 character; the five bytes the code page
// leaves undefined map to the control character of the same value, so that
// every byte reads and writes back unchanged.
QString DaCp1252(QByteArrayView b);
// False when a character has no Windows-1252 byte.
bool ACp1252(const QString& s, QByteArray& out);
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short.
bool Utf8Valido(QByteArrayView b);
// UTF-8 when valid, else Windows-1252.
QString DaTestoTerminale(QByteArrayView b);

} // namespace quarvel
