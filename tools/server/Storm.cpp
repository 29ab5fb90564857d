#include "Storm.h"

#include "Presence.h"

#include <QElapsedTimer>
#include <QThread>
#include <QUdpSocket>

#include <chrono>
#include <thread>

namespace {

// A full send buffer is waited out; any other failure ends the storm.
bool sendOne(QUdpSocket& socket, const QByteArray& datagram, quint16 port) {
    const QHostAddress loopback(QHostAddress::LocalHost);
    while (socket.writeDatagram(datagram, loopback, port) != datagram.size()) {
        if (socket.error() != QAbstractSocket::TemporaryError)
            return false;
        QThread::usleep(20);
    }
    return true;
}

} // namespace

std::optional<qint64> runStorm(const StormOptions& storm, quint16 presencePort, QString& error) {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0)) {
        error = socket.errorString();
        return std::nullopt;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < storm.count; ++i) {
        if (storm.rate > 0)
            std::this_thread::sleep_until(start +
                                          std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(i / storm.rate)));
        if (!sendOne(socket, presenceDatagram(!storm.down, storm.firstUid + i), presencePort)) {
            error = socket.errorString();
            return std::nullopt;
        }
    }
    return timer.elapsed();
}
