#include "PresenceDatagram.h"

#include <QByteArray>
#include <optional>

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool sameLetters(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && qstrnicmp(a.data(), b.data(), size_t(a.size())) == 0;
}

} // namespace

PresenceDatagram PresenceDatagram::parse(QByteArrayView bytes) {
    QByteArrayView text = bytes.first(std::min<qsizetype>(bytes.size(), MaxBytes));
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        text.truncate(zero);
    text = trimmed(text);
    std::optional<QByteArrayView> sign, userId;
    while (!text.isEmpty()) {
        qsizetype end = 0;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const QByteArrayView line = text.first(end);
        const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
        text = text.sliced(std::min(text.size(), end + (crlf ? 2 : 1)));
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArrayView key = line.first(equals);
        if (!sign && sameLetters(key, "Sign"))
            sign = line.sliced(equals + 1);
        else if (!userId && sameLetters(key, "UserId"))
            userId = line.sliced(equals + 1);
    }
    PresenceDatagram datagram;
    if (sign && sameLetters(*sign, "KVZCLIENTIN"))
        datagram.sign = Sign::ClientIn;
    else if (sign && sameLetters(*sign, "KVZCLIENTOUT"))
        datagram.sign = Sign::ClientOut;
    bool ok = false;
    const qint32 number = userId ? userId->toByteArray().toInt(&ok) : 0;
    datagram.userId = ok ? number : 0;
    return datagram;
}
