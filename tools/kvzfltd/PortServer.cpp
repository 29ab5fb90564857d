#include "PortServer.h"

#include "DriverPort.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

using namespace Qt::StringLiterals;
using namespace kvzflt;

#ifdef Q_OS_WIN
// A pipe vanishes with its server: only a server still listening is in the way.
bool claimSocketPath(const QString& path, QString& error) {
    const QString prefix = u"\\\\.\\pipe\\"_s;
    const QString name = path.startsWith(prefix) ? path : prefix + path;
    if (WaitNamedPipeW(reinterpret_cast<const wchar_t*>(name.utf16()), 1) ||
        GetLastError() == ERROR_SEM_TIMEOUT) {
        error = u"another server listens on "_s + path;
        return false;
    }
    return true;
}
#else
namespace {

// Whether a server accepts connections on the socket at path.
bool someoneListens(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

bool claimSocketPath(const QString& path, QString& error) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        error = path + u": "_s + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISSOCK(status.st_mode)) {
        error = path + u" exists and is no socket; it is left as it is"_s;
        return false;
    }
    if (someoneListens(native)) {
        error = u"another server listens on "_s + path;
        return false;
    }
    if (::unlink(native.constData()) != 0 && errno != ENOENT) {
        error = u"cannot remove the stale socket "_s + path + u": "_s +
                QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}
#endif

PortServer::PortServer(PortSettings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    connect(&m_server, &QLocalServer::newConnection, this, &PortServer::accept);
}

bool PortServer::listen(QString& error) {
    if (!m_settings.recordPath.isEmpty()) {
        m_record.setFileName(m_settings.recordPath);
        if (!m_record.open(QIODevice::WriteOnly | QIODevice::Append)) {
            error = m_settings.recordPath + u": "_s + m_record.errorString();
            return false;
        }
    }
    const QString& path = m_settings.socketPath;
#ifndef Q_OS_WIN
    QDir().mkpath(QFileInfo(path).absolutePath()); // a folder that cannot be made fails below
#endif
    if (!claimSocketPath(path, error))
        return false;
    if (!m_server.listen(path)) {
        error = path + u": "_s + m_server.errorString();
        return false;
    }
    return true;
}

void PortServer::accept() {
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (m_connections >= MaxConnections) {
            drop(client);
            continue;
        }
        ++m_connections;
        connect(client, &QObject::destroyed, this, [this] { --m_connections; });
        auto* timeout = new QTimer(client); // goes with the connection
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, this, [this, client] { drop(client); });
        connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
        timeout->start(RequestTimeoutMs);
        read(client);
    }
}

void PortServer::drop(QLocalSocket* client) {
    disconnect(client, &QLocalSocket::readyRead, this, nullptr);
    client->abort();
    client->deleteLater();
}

void PortServer::read(QLocalSocket* client) {
    if (client->bytesAvailable() < qint64(kvzflt::RequestSize))
        return;
    const QByteArray request = client->read(qint64(kvzflt::RequestSize));
    disconnect(client, &QLocalSocket::readyRead, this, nullptr); // one request per connection
    if (m_record.isOpen()) {
        m_record.write(request);
        m_record.flush();
    }
    if (m_settings.hangUp) {
        drop(client);
        return;
    }
    answer(client, request);
}

void PortServer::answer(QLocalSocket* client, const QByteArray& request) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.constData());
    const std::uint32_t capacity = GetLE32(bytes + MessageSize);
    QByteArray reply = m_settings.silent ? QByteArray() : m_settings.replies.value(bytes[0]);
    reply.truncate(qsizetype(capacity));
    QByteArray out(4, '\0');
    PutLE32(reinterpret_cast<std::uint8_t*>(out.data()), std::uint32_t(reply.size()));
    client->write(out + reply);
    client->disconnectFromServer(); // once the answer is written
}
