#pragma once

#include "AgentRequest.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

// One user a command to many agents addresses.
struct BulkTarget {
    qint32 uid = 0;
    QString name;
    QString department;
    QString address;
};

enum class BulkOutcome { Pending, Confirmed, Refused, NoAnswer, TimedOut, NoAddress, Cancelled };

struct BulkResult {
    BulkOutcome outcome = BulkOutcome::Pending;
    QByteArray reply; // the first bytes of an answer other than "OK", a redirect's status
    qint64 elapsedMs = 0;
};

// The outcome of one agent's answer to a one-word command.
BulkResult bulkResultOf(const AgentReply& reply);
// The outcome's name in English, one word, for scripts and the operation log.
QString bulkOutcomeWord(BulkOutcome outcome);
// The same with the first bytes of a refusing answer: "refused ok".
QString bulkOutcomeWord(const BulkResult& result);
bool isFailure(BulkOutcome outcome); // not confirmed and not pending

// A one-word command sent to many agents at once, at most maxInFlight requests at a time,
// each with the bounds of a single command. Runs from the event loop; progressed tells of
// each target done, finished of the run's end (also after cancel).
class BulkCommand : public QObject {
    Q_OBJECT
public:
    struct Counts {
        int sent = 0; // done or in flight
        int confirmed = 0;
        int failed = 0;
        int pending = 0; // not done yet
    };

    BulkCommand(QList<BulkTarget> targets, QString word, qint32 port, AgentBounds bounds,
                int maxInFlight, QObject* parent = nullptr);
    ~BulkCommand() override;

    // Sends to the given targets (all when empty) again; the others keep their results.
    void run(const QList<int>& rows = {});
    void cancel(); // in-flight and queued targets end cancelled
    bool isRunning() const { return !m_queue.isEmpty() || m_inFlight > 0; }

    const QString& word() const { return m_word; }
    const QList<BulkTarget>& targets() const { return m_targets; }
    const QList<BulkResult>& results() const { return m_results; }
    Counts counts() const;

signals:
    void progressed(int row);
    void finished();

private:
    void sendNext();
    void done(int row, const BulkResult& result);
    void setResult(int row, const BulkResult& result);
    void count(BulkOutcome outcome, int step);

    QList<BulkTarget> m_targets;
    QList<BulkResult> m_results;
    QString m_word;
    qint32 m_port;
    AgentBounds m_bounds;
    int m_maxInFlight;
    QList<int> m_queue;
    int m_inFlight = 0;
    bool m_sendDue = false; // more are started at the next turn of the event loop
    bool m_running = false; // finished not yet told
    Counts m_counts;        // sent is worked out
    std::vector<std::unique_ptr<AgentRequest>> m_requests; // by row, while in flight
};
