#include "comune/Codifiche.h"

#include <algorithm>
#include <iterator>

namespace quarvel {

namespace {

// Windows-1252 bytes 0x80..0x9F; the five bytes the code page leaves undefined
// map to the control character of the same value, as Windows itself does, so
// that every byte reads and writes back unchanged.
constexpr char16_t Cp1252Alto[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString DaCp1252(QByteArrayView b) {
    QString s;
    s.resize(b.size());
    QChar* out = s.data();
    for (qsizetype i = 0; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(Cp1252Alto[c - 0x80]) : QChar(c);
    }
    return s;
}

// False when a character has no Windows-1252 byte.
bool ACp1252(const QString& s, QByteArray& out) {
    out.clear();
    out.reserve(s.size());
    for (QChar qc : s) {
        const char16_t c = qc.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(static_cast<char>(c));
            continue;
        }
        const auto* fine = std::end(Cp1252Alto);
        const auto* p = std::find(std::begin(Cp1252Alto), fine, c);
        if (p == fine)
            return false;
        out.append(static_cast<char>(0x80 + (p - std::begin(Cp1252Alto))));
    }
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short.
bool Utf8Valido(QByteArrayView b) {
    const qsizetype n = b.size();
    qsizetype i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int seguito;
        unsigned minimo, massimo = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            seguito = 1;
            minimo = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            seguito = 2;
            minimo = c == 0xE0 ? 0xA0 : 0x80;
            massimo = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            seguito = 3;
            minimo = c == 0xF0 ? 0x90 : 0x80;
            massimo = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + seguito >= n)
            return false;
        for (int k = 1; k <= seguito; ++k) {
            const auto t = static_cast<unsigned char>(b[i + k]);
            const unsigned lo = k == 1 ? minimo : 0x80;
            const unsigned hi = k == 1 ? massimo : 0xBF;
            if (t < lo || t > hi)
                return false;
        }
        i += seguito + 1;
    }
    return true;
}

QString DaTestoTerminale(QByteArrayView b) {
    return Utf8Valido(b) ? QString::fromUtf8(b) : DaCp1252(b);
}

} // namespace quarvel
