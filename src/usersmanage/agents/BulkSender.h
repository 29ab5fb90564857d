#pragma once

#include "AgentRequest.h"

#include <QList>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Requests to many agents from a thread of their own, each with the bytes and the bounds of a
// single command, on plain non-blocking sockets that one wait watches together: at most
// maxReaching requests connecting or sending at a time, at most maxOpen open. The requests
// that ended are kept for the owner, who is told (from the sending thread) when the first of
// them is waiting; it takes them in its own time.
class BulkSender {
public:
    struct Target {
        int row = 0;
        QString address;
    };
    struct Ended {
        int row = 0;
        AgentReply reply;
    };

    // query in the narrow code page; endedWaiting is called on the sending thread.
    BulkSender(qint32 port, QByteArray query, AgentBounds bounds, int maxReaching, int maxOpen,
               std::function<void()> endedWaiting);
    ~BulkSender();

    void send(const QList<Target>& targets);
    // Ends every open request cancelled (to be taken) and drops the targets not started.
    void stop();
    // Up to max ended requests, oldest first.
    QList<Ended> take(int max);
    int open() const { return m_open; } // started, not taken yet

private:
    void loop();
    bool fetch(std::deque<Target>& queue, bool idle);
    void publish(std::vector<Ended>& ended);

    qint32 m_port;
    QByteArray m_query;
    AgentBounds m_bounds;
    int m_maxReaching;
    int m_maxOpen;
    std::function<void()> m_endedWaiting;
    std::atomic<int> m_open = 0;
    std::mutex m_mutex; // guards what follows, up to the thread
    std::condition_variable m_wake;
    QList<Target> m_inbox;
    std::deque<Ended> m_ended;
    bool m_told = false; // the owner was told of m_ended and has not emptied it
    bool m_stopping = false;
    std::thread m_thread;
};
