#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// Stops the run when a property of the code under test does not hold; libFuzzer then saves the
// input that broke it.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

inline QByteArray bytesOf(const unsigned char* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Text from fuzzer bytes: the first byte picks UTF-8 or raw UTF-16 (lone surrogates included).
inline QString textOf(const unsigned char* data, size_t size) {
    if (size == 0)
        return {};
    if (data[0] % 2 == 0)
        return QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QString text((size - 1) / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8));
    return text;
}
