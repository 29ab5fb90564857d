#include "ClientPresence.h"

#include "NarrowText.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QPointer>
#include <QStringList>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;

// Blanks and control characters go at both ends.
QString trimmedOfControls(const QString& text) {
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first) <= u' ')
        ++first;
    while (last > first && text.at(last - 1) <= u' ')
        --last;
    return text.mid(first, last - first);
}

// The value of the first line whose key is key, or a null text.
QString valueOf(const QStringList& lines, QStringView key) {
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0 && QStringView(line).left(equals).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    return {};
}

} // namespace

PresenceDatagram PresenceDatagram::parse(const QByteArray& bytes, const QByteArray& codePage) {
    QByteArray text = bytes.left(MaxBytes);
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        text.truncate(zero);
    const QString body = trimmedOfControls(fromNarrow(text, codePage));
    const QStringList lines =
        QString(body).replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n').split(u'\n');
    PresenceDatagram datagram;
    const QString sign = valueOf(lines, u"Sign");
    if (sign.compare(u"KVZCLIENTIN", Qt::CaseInsensitive) == 0)
        datagram.sign = Sign::ClientIn;
    else if (sign.compare(u"KVZCLIENTOUT", Qt::CaseInsensitive) == 0)
        datagram.sign = Sign::ClientOut;
    bool ok = false;
    const qint32 userId = valueOf(lines, u"UserId").toInt(&ok);
    datagram.userId = ok ? userId : 0;
    return datagram;
}

PresenceListener::PresenceListener(QObject* parent) : QObject(parent) {
    connect(&m_socket, &QUdpSocket::readyRead, this, &PresenceListener::readPending);
}

bool PresenceListener::open(quint16 port) {
    if (!m_socket.bind(QHostAddress::LocalHost, port))
        return false;
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                             QVariant(ReceiveBufferBytes));
    return true;
}

void PresenceListener::readPending() {
    const QPointer<PresenceListener> self(this);
    while (self && m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(PresenceDatagram::MaxBytes);
        emit received(datagram.data());
    }
}
