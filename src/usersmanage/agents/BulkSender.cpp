#include "BulkSender.h"

#include "ClientCommand.h"

#include <QHostAddress>
#include <QUrl>
#include <chrono>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using Ended = BulkSender::Ended;

constexpr int WatchMs = 10; // new targets and a stop are seen at least this often
constexpr qsizetype ReadChunk = 16 * 1024;

// The few socket calls, on either system.
#ifdef Q_OS_WIN
using Handle = SOCKET;
using Watch = WSAPOLLFD;
constexpr Handle NoHandle = INVALID_SOCKET;
constexpr int NoSignal = 0;

int lastError() {
    return WSAGetLastError();
}
bool isPending(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}
Handle openSocket() {
    const Handle socket = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    if (socket != NoHandle && ioctlsocket(socket, FIONBIO, &on) != 0) {
        closesocket(socket);
        return NoHandle;
    }
    return socket;
}
void closeHandle(Handle socket) {
    closesocket(socket);
}
int waitFor(Watch* watch, std::size_t count, int ms) {
    return WSAPoll(watch, ULONG(count), ms);
}
#else
using Handle = int;
using Watch = pollfd;
constexpr Handle NoHandle = -1;
constexpr int NoSignal = MSG_NOSIGNAL; // a reset peer is an error, not a signal

int lastError() {
    return errno;
}
bool isPending(int error) {
    return error == EINPROGRESS || error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}
// Not inherited by a program started meanwhile from another thread.
Handle openSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}
void closeHandle(Handle socket) {
    ::close(socket);
}
int waitFor(Watch* watch, std::size_t count, int ms) {
    return ::poll(watch, nfds_t(count), ms);
}
#endif

int socketError(Handle socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return lastError();
    return error;
}

// The requests open on the sending thread.
class OpenRequests {
public:
    OpenRequests(qint32 port, const QByteArray& query, AgentBounds bounds);
    ~OpenRequests();
    OpenRequests(const OpenRequests&) = delete;
    OpenRequests& operator=(const OpenRequests&) = delete;

    int size() const { return int(m_requests.size()); }
    int reaching() const { return m_reaching; }
    // An address that is no dotted quad, or a socket refused at once, ends at once.
    void start(const BulkSender::Target& target, std::vector<Ended>& ended);
    // Waits until some socket is ready, a deadline passes or WatchMs have gone, and moves every
    // request on; those that end go to ended.
    void wait(std::vector<Ended>& ended);
    void cancelAll(std::vector<Ended>& ended);

private:
    struct Request {
        int row = 0;
        Handle socket = NoHandle;
        QString host;
        QByteArray bytes;      // the GET
        qsizetype written = 0; // of bytes
        bool sent = false;     // connected: the request is the socket's to deliver
        std::optional<AgentOutcome> outcome;
        Clock::time_point begun;
        Clock::time_point deadline;
        AgentAnswer answer;
    };

    void connectTo(Request& request);
    void connectedYet(Request& request);
    void onReady(Request& request, int events);
    void onConnected(Request& request);
    void write(Request& request);
    void read(Request& request);
    void end(Request& request, AgentOutcome outcome);
    int waitMs(Clock::time_point now) const;
    void sweep(std::vector<Ended>& ended);
    static Ended endedOf(const Request& request);

    qint32 m_port;
    QByteArray m_query;
    std::chrono::milliseconds m_connectBound;
    std::chrono::milliseconds m_answerBound;
    std::vector<Request> m_requests;
    std::vector<Watch> m_watch; // by request, rebuilt for each wait
    int m_reaching = 0;
};

OpenRequests::OpenRequests(qint32 port, const QByteArray& query, AgentBounds bounds)
    : m_port(port), m_query(query), m_connectBound(bounds.connectMs),
      m_answerBound(bounds.answerMs) {
#ifdef Q_OS_WIN
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
}

OpenRequests::~OpenRequests() {
    for (Request& request : m_requests) {
        if (request.socket != NoHandle)
            closeHandle(request.socket);
    }
#ifdef Q_OS_WIN
    WSACleanup();
#endif
}

void OpenRequests::start(const BulkSender::Target& target, std::vector<Ended>& ended) {
    Request request;
    request.row = target.row;
    request.begun = Clock::now();
    const std::optional<QUrl> url = NarrowCommandUrl(target.address, m_port, m_query);
    if (!url) {
        request.outcome = AgentOutcome::NoAddress;
        ended.push_back(endedOf(request));
        return;
    }
    request.host = url->host();
    request.bytes = ClientCommandRequest(*url);
    // Reaching the agent has its own short bound; once the request is out, the answer's.
    request.deadline = request.begun + m_connectBound;
    ++m_reaching;
    connectTo(request);
    if (request.outcome)
        ended.push_back(endedOf(request));
    else
        m_requests.push_back(std::move(request));
}

void OpenRequests::connectTo(Request& request) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(m_port));
    address.sin_addr.s_addr = htonl(QHostAddress(request.host).toIPv4Address());
    request.socket = openSocket();
    if (request.socket == NoHandle)
        end(request, AgentOutcome::NoAnswer);
    else if (::connect(request.socket, reinterpret_cast<const sockaddr*>(&address),
                       sizeof address) == 0)
        onConnected(request);
    else if (!isPending(lastError()))
        end(request, AgentOutcome::NoAnswer);
    else
        connectedYet(request);
}

// On loopback and on a near network the handshake is often over as connect returns: the
// request then goes at once, not after the next wait.
void OpenRequests::connectedYet(Request& request) {
    Watch watch{request.socket, POLLOUT, 0};
    if (waitFor(&watch, 1, 0) > 0)
        onReady(request, watch.revents);
}

void OpenRequests::onReady(Request& request, int events) {
    if (!request.sent) {
        if (socketError(request.socket) == 0)
            onConnected(request);
        else
            end(request, AgentOutcome::NoAnswer);
        return;
    }
    if ((events & POLLOUT) && request.written < request.bytes.size())
        write(request);
    if (!request.outcome && (events & (POLLIN | POLLHUP | POLLERR)))
        read(request);
}

void OpenRequests::onConnected(Request& request) {
    request.sent = true;
    --m_reaching;
    request.deadline = Clock::now() + m_answerBound;
    write(request);
}

void OpenRequests::write(Request& request) {
    while (!request.outcome && request.written < request.bytes.size()) {
        const auto n = ::send(request.socket, request.bytes.constData() + request.written,
                              int(request.bytes.size() - request.written), NoSignal);
        if (n >= 0)
            request.written += n;
        else if (isPending(lastError()))
            return;
        else
            end(request, request.answer.closed());
    }
}

// Reads what is there, up to what the answer has room for.
void OpenRequests::read(Request& request) {
    char buffer[ReadChunk];
    while (!request.outcome) {
        const auto n =
            ::recv(request.socket, buffer, int(qMin(request.answer.room(), ReadChunk)), 0);
        if (n > 0) {
            if (const std::optional<AgentOutcome> outcome =
                    request.answer.add(QByteArrayView(buffer, n)))
                end(request, *outcome);
        } else if (n == 0 || !isPending(lastError())) {
            end(request, request.answer.closed());
        } else {
            return;
        }
    }
}

void OpenRequests::end(Request& request, AgentOutcome outcome) {
    if (request.outcome)
        return;
    request.outcome = outcome;
    if (request.socket != NoHandle) {
        closeHandle(request.socket);
        request.socket = NoHandle;
    }
    if (!request.sent)
        --m_reaching;
}

void OpenRequests::wait(std::vector<Ended>& ended) {
    m_watch.clear();
    for (const Request& request : m_requests) {
        const short events =
            !request.sent ? POLLOUT
                          : (request.written < request.bytes.size() ? POLLOUT | POLLIN : POLLIN);
        m_watch.push_back({request.socket, events, 0});
    }
    if (waitFor(m_watch.data(), m_watch.size(), waitMs(Clock::now())) > 0) {
        for (std::size_t i = 0; i < m_watch.size(); ++i) {
            if (m_watch[i].revents != 0)
                onReady(m_requests[i], m_watch[i].revents);
        }
    }
    // A deadline ends a request once it has passed, never before.
    const Clock::time_point now = Clock::now();
    for (Request& request : m_requests) {
        if (now >= request.deadline)
            end(request, AgentOutcome::TimedOut);
    }
    sweep(ended);
}

// Until the nearest deadline, rounded up, at most WatchMs.
int OpenRequests::waitMs(Clock::time_point now) const {
    Clock::duration wait = std::chrono::milliseconds(WatchMs);
    for (const Request& request : m_requests)
        wait = qMin(wait, request.deadline - now);
    return int(qMax<qint64>(0, std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
}

void OpenRequests::cancelAll(std::vector<Ended>& ended) {
    for (Request& request : m_requests)
        end(request, AgentOutcome::Cancelled);
    sweep(ended);
}

void OpenRequests::sweep(std::vector<Ended>& ended) {
    std::erase_if(m_requests, [&ended](const Request& request) {
        if (request.outcome)
            ended.push_back(endedOf(request));
        return request.outcome.has_value();
    });
}

Ended OpenRequests::endedOf(const Request& request) {
    Ended done{request.row, {}};
    request.answer.fill(done.reply);
    done.reply.outcome = *request.outcome;
    done.reply.host = request.host;
    done.reply.elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - request.begun).count();
    return done;
}

} // namespace

BulkSender::BulkSender(qint32 port, QByteArray query, AgentBounds bounds, int maxReaching,
                       int maxOpen, std::function<void()> endedWaiting)
    : m_port(port), m_query(std::move(query)), m_bounds(bounds), m_maxReaching(maxReaching),
      m_maxOpen(maxOpen), m_endedWaiting(std::move(endedWaiting)),
      m_thread(&BulkSender::loop, this) {}

BulkSender::~BulkSender() {
    stop();
}

void BulkSender::send(const QList<Target>& targets) {
    {
        const std::lock_guard lock(m_mutex);
        m_inbox.append(targets);
    }
    m_wake.notify_one();
}

void BulkSender::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

QList<BulkSender::Ended> BulkSender::take(int max) {
    QList<Ended> taken;
    const std::lock_guard lock(m_mutex);
    while (!m_ended.empty() && taken.size() < max) {
        taken.append(std::move(m_ended.front()));
        m_ended.pop_front();
    }
    m_told = !m_ended.empty();
    m_open -= int(taken.size());
    return taken;
}

// Starts what the bounds let start, then waits for the sockets; sleeps while there is nothing
// to do.
void BulkSender::loop() {
    OpenRequests requests(m_port, m_query, m_bounds);
    std::deque<Target> queue;
    std::vector<Ended> ended;
    while (fetch(queue, requests.size() == 0 && queue.empty())) {
        while (!queue.empty() && requests.reaching() < m_maxReaching &&
               requests.size() < m_maxOpen) {
            ++m_open;
            requests.start(queue.front(), ended);
            queue.pop_front();
        }
        if (requests.size() > 0)
            requests.wait(ended);
        publish(ended);
    }
    requests.cancelAll(ended);
    publish(ended);
}

// Moves the targets sent meanwhile to the queue, first waiting for some when idle; false once
// stopping.
bool BulkSender::fetch(std::deque<Target>& queue, bool idle) {
    std::unique_lock lock(m_mutex);
    if (idle)
        m_wake.wait(lock, [this] { return m_stopping || !m_inbox.isEmpty(); });
    if (m_stopping)
        return false;
    for (Target& target : m_inbox)
        queue.push_back(std::move(target));
    m_inbox.clear();
    return true;
}

void BulkSender::publish(std::vector<Ended>& ended) {
    if (ended.empty())
        return;
    bool tell = false;
    {
        const std::lock_guard lock(m_mutex);
        for (Ended& done : ended)
            m_ended.push_back(std::move(done));
        tell = !std::exchange(m_told, true);
    }
    ended.clear();
    if (tell)
        m_endedWaiting();
}
