#pragma once

// The two printable ciphers of the shared unit over QByteArray; TextCipher.h has them in
// standard C++ and says what they do.

#include "TextCipher.h"

#include <QByteArray>

QByteArray En(const QByteArray& source, const QByteArray& key, bool encrypt);
QByteArray EnWithOffset(const QByteArray& source, const QByteArray& key, quint8 initialOffset);
QByteArray StrToHex(const QByteArray& bytes);
QByteArray HexToStr(const QByteArray& hex);
QByteArray EncryptString(const QByteArray& plainText, const QByteArray& key);
QByteArray DecryptString(const QByteArray& cipherText, const QByteArray& key);
