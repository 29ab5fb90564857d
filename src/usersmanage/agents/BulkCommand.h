#pragma once

#include "ModuleExport.h"

#include "AgentRequest.h"
#include "BulkSender.h"

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

// A one-word command sent to many agents at once, each request with the bounds of a single
// command. At most maxInFlight requests are reaching their agents at a time (connecting and
// sending: the traffic a site's network sees); a request sent waits for its answer without
// holding a place, within a budget of open sockets. The requests go out from a thread of their
// own (BulkSender) while a run lasts; their ends are taken from the event loop a few dozen at a
// time. progressed tells of each target done, finished of the run's end (also after cancel).
// Targets may keep arriving while it runs (addTargets, then setMoreToCome(false)).
class KVZ_MODULE_EXPORT BulkCommand : public QObject {
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
    bool isRunning() const { return m_moreToCome || m_handedCount > 0; }

    // More targets, sent to as soon as a run is going; the run does not end before
    // setMoreToCome(false).
    void addTargets(const QList<BulkTarget>& more);
    void setMoreToCome(bool more);

    const QString& word() const { return m_word; }
    const QList<BulkTarget>& targets() const { return m_targets; }
    const QList<BulkResult>& results() const { return m_results; }
    Counts counts() const;

signals:
    void targetsAdded(int first, int last);
    void progressed(int row);
    void finished();

private:
    void hand(const QList<int>& rows);
    void takeEnded();
    void endIfDone();
    void done(int row, const BulkResult& result);
    void setResult(int row, const BulkResult& result);
    void count(BulkOutcome outcome, int step);

    QList<BulkTarget> m_targets;
    QList<BulkResult> m_results;
    QString m_word;
    qint32 m_port;
    AgentBounds m_bounds;
    int m_maxInFlight;
    std::vector<bool> m_handed; // by row: with the sender, its end not taken yet
    int m_handedCount = 0;
    bool m_running = false; // finished not yet told
    bool m_moreToCome = false;
    Counts m_counts;                      // sent is worked out
    std::unique_ptr<BulkSender> m_sender; // while a run lasts; stopped before the rest goes
};
