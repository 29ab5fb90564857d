#include "BulkCommand.h"

#include "LogonInfo.h"
#include "NarrowText.h"

#include <QElapsedTimer>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int EndsPerTake = 64;
constexpr int TurnMs = 4; // a turn of the event loop stays short
constexpr int MaxOpen = 4096;

// Every open request holds a socket: at most half the descriptors the process may have, whose
// limit is first raised as far as the system lets any program raise it.
int openBudget() {
#ifdef Q_OS_UNIX
    static const int budget = [] {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 256;
        if (limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
            getrlimit(RLIMIT_NOFILE, &limit);
        }
        return int(qBound<rlim_t>(64, limit.rlim_cur / 2, MaxOpen));
    }();
    return budget;
#else
    return MaxOpen;
#endif
}

} // namespace

BulkResult bulkResultOf(const AgentReply& reply) {
    BulkResult result{BulkOutcome::Refused, {}, reply.elapsedMs};
    switch (reply.outcome) {
    case AgentOutcome::Answered:
        if (reply.confirmed())
            result.outcome = BulkOutcome::Confirmed;
        else
            result.reply = reply.status >= 200 && reply.status < 300
                               ? reply.body.left(32)
                               : QByteArray::number(reply.status);
        break;
    case AgentOutcome::NoAnswer:
        result.outcome = BulkOutcome::NoAnswer;
        break;
    case AgentOutcome::TimedOut:
        result.outcome = BulkOutcome::TimedOut;
        break;
    case AgentOutcome::NoAddress:
        result.outcome = BulkOutcome::NoAddress;
        break;
    case AgentOutcome::Cancelled:
        result.outcome = BulkOutcome::Cancelled;
        break;
    }
    return result;
}

QString bulkOutcomeWord(BulkOutcome outcome) {
    static const char16_t* const words[] = {u"pending",  u"confirmed",  u"refused",  u"no-answer",
                                            u"time-out", u"no-address", u"cancelled"};
    return QString::fromUtf16(words[int(outcome)]);
}

QString bulkOutcomeWord(const BulkResult& result) {
    const QString word = bulkOutcomeWord(result.outcome);
    return result.reply.isEmpty() ? word
                                  : word + u' ' + QString::fromLatin1(result.reply).simplified();
}

bool isFailure(BulkOutcome outcome) {
    return outcome != BulkOutcome::Pending && outcome != BulkOutcome::Confirmed;
}

BulkCommand::BulkCommand(QList<BulkTarget> targets, QString word, qint32 port, AgentBounds bounds,
                         int maxInFlight, QObject* parent)
    : QObject(parent), m_targets(std::move(targets)), m_results(m_targets.size()),
      m_word(std::move(word)), m_port(port), m_bounds(bounds), m_maxInFlight(qMax(1, maxInFlight)),
      m_handed(std::size_t(m_targets.size())) {
    m_counts.pending = int(m_targets.size());
}

BulkCommand::~BulkCommand() = default;

void BulkCommand::run(const QList<int>& rows) {
    QList<int> chosen;
    for (int row : rows) {
        if (row >= 0 && row < m_targets.size())
            chosen.append(row);
    }
    if (rows.isEmpty()) {
        for (int row = 0; row < m_targets.size(); ++row)
            chosen.append(row);
    }
    for (int row : chosen) {
        if (!m_handed[std::size_t(row)])
            setResult(row, {});
    }
    m_running = true;
    hand(chosen);
    endIfDone();
}

void BulkCommand::addTargets(const QList<BulkTarget>& more) {
    if (more.isEmpty())
        return;
    const int first = int(m_targets.size());
    m_targets.append(more);
    m_results.resize(m_targets.size());
    m_handed.resize(std::size_t(m_targets.size()));
    m_counts.pending += int(more.size());
    emit targetsAdded(first, int(m_targets.size()) - 1);
    if (!m_running)
        return;
    QList<int> rows;
    for (int row = first; row < m_targets.size(); ++row)
        rows.append(row);
    hand(rows);
}

void BulkCommand::setMoreToCome(bool more) {
    m_moreToCome = more;
    if (!more)
        endIfDone();
}

// The rows not with the sender yet go to it; it starts with the first run.
void BulkCommand::hand(const QList<int>& rows) {
    QList<BulkSender::Target> targets;
    for (int row : rows) {
        if (m_handed[std::size_t(row)])
            continue;
        m_handed[std::size_t(row)] = true;
        ++m_handedCount;
        targets.append({row, m_targets[row].address});
    }
    if (targets.isEmpty())
        return;
    if (!m_sender)
        m_sender = std::make_unique<BulkSender>(
            m_port, toNarrow(u"aFlag="_s + m_word, LogonInfo->CodePage), m_bounds, m_maxInFlight,
            openBudget(), [this] {
                QMetaObject::invokeMethod(this, &BulkCommand::takeEnded, Qt::QueuedConnection);
            });
    m_sender->send(targets);
}

// A few dozen ends per turn of the event loop: thousands of answers arriving together would
// hold it.
void BulkCommand::takeEnded() {
    QElapsedTimer turn;
    turn.start();
    while (m_sender) {
        const QList<BulkSender::Ended> ended = m_sender->take(EndsPerTake);
        if (ended.isEmpty())
            return;
        for (const BulkSender::Ended& request : ended)
            done(request.row, bulkResultOf(request.reply));
        if (turn.elapsed() >= TurnMs) {
            QMetaObject::invokeMethod(this, &BulkCommand::takeEnded, Qt::QueuedConnection);
            return;
        }
    }
}

void BulkCommand::endIfDone() {
    if (m_running && !m_moreToCome && m_handedCount == 0) {
        m_running = false;
        m_sender.reset(); // nothing is open: its thread ends at once
        emit finished();
    }
}

void BulkCommand::done(int row, const BulkResult& result) {
    m_handed[std::size_t(row)] = false;
    --m_handedCount;
    setResult(row, result);
    emit progressed(row);
    endIfDone();
}

// The requests open end cancelled with their time; those not started yet too.
void BulkCommand::cancel() {
    if (const std::unique_ptr<BulkSender> sender = std::move(m_sender)) {
        sender->stop();
        for (const BulkSender::Ended& request : sender->take(std::numeric_limits<int>::max()))
            done(request.row, bulkResultOf(request.reply));
    }
    for (int row = 0; row < m_targets.size(); ++row) {
        if (m_handed[std::size_t(row)])
            done(row, {BulkOutcome::Cancelled, {}, 0});
    }
}

void BulkCommand::setResult(int row, const BulkResult& result) {
    count(m_results[row].outcome, -1);
    m_results[row] = result;
    count(result.outcome, +1);
}

void BulkCommand::count(BulkOutcome outcome, int step) {
    if (outcome == BulkOutcome::Pending)
        m_counts.pending += step;
    else if (outcome == BulkOutcome::Confirmed)
        m_counts.confirmed += step;
    else
        m_counts.failed += step;
}

BulkCommand::Counts BulkCommand::counts() const {
    Counts counts = m_counts;
    counts.sent = int(m_results.size()) - counts.pending + (m_sender ? m_sender->open() : 0);
    return counts;
}
