#include "StringCipher.h"

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray bytesOf(const std::string& text) {
    return QByteArray::fromStdString(text);
}

} // namespace

QByteArray En(const QByteArray& source, const QByteArray& key, bool encrypt) {
    return bytesOf(kvz::cipher::En(view(source), view(key), encrypt));
}

QByteArray EnWithOffset(const QByteArray& source, const QByteArray& key, quint8 initialOffset) {
    return bytesOf(kvz::cipher::EnWithOffset(view(source), view(key), initialOffset));
}

QByteArray StrToHex(const QByteArray& bytes) {
    return bytesOf(kvz::cipher::StrToHex(view(bytes)));
}

QByteArray HexToStr(const QByteArray& hex) {
    return bytesOf(kvz::cipher::HexToStr(view(hex)));
}

QByteArray EncryptString(const QByteArray& plainText, const QByteArray& key) {
    return bytesOf(kvz::cipher::EncryptString(view(plainText), view(key)));
}

QByteArray DecryptString(const QByteArray& cipherText, const QByteArray& key) {
    return bytesOf(kvz::cipher::DecryptString(view(cipherText), view(key)));
}
