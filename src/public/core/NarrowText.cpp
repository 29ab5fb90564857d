#include "NarrowText.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray toNarrow(const QString& text, const QByteArray& codePage) {
    QStringEncoder encoder(codePage.constData());
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

QString fromNarrow(const QByteArray& bytes, const QByteArray& codePage) {
    QStringDecoder decoder(codePage.constData());
    if (!decoder.isValid())
        return QString::fromUtf8(bytes);
    return decoder.decode(bytes);
}
