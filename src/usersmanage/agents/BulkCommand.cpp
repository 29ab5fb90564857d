#include "BulkCommand.h"

#include <QElapsedTimer>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int StartsPerTurn = 64;
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
      m_queued(std::size_t(m_targets.size())), m_requests(std::size_t(m_targets.size())) {
    m_counts.pending = int(m_targets.size());
}

BulkCommand::~BulkCommand() = default;

void BulkCommand::run(const QList<int>& rows) {
    QList<int> chosen = rows;
    if (chosen.isEmpty()) {
        for (int row = 0; row < m_targets.size(); ++row)
            chosen.append(row);
    }
    for (int row : chosen) {
        if (row < 0 || row >= m_targets.size() || m_requests[std::size_t(row)] ||
            m_queued[std::size_t(row)])
            continue;
        setResult(row, {});
        m_queued[std::size_t(row)] = true;
        m_queue.append(row);
    }
    m_running = true;
    sendNext();
}

void BulkCommand::addTargets(const QList<BulkTarget>& more) {
    if (more.isEmpty())
        return;
    const int first = int(m_targets.size());
    m_targets.append(more);
    m_results.resize(m_targets.size());
    m_queued.resize(std::size_t(m_targets.size()));
    m_requests.resize(std::size_t(m_targets.size()));
    m_counts.pending += int(more.size());
    emit targetsAdded(first, int(m_targets.size()) - 1);
    if (!m_running)
        return;
    for (int row = first; row < m_targets.size(); ++row) {
        m_queued[std::size_t(row)] = true;
        m_queue.append(row);
    }
    sendSoon();
}

void BulkCommand::setMoreToCome(bool more) {
    m_moreToCome = more;
    if (!more)
        endIfDone();
}

// A few new connections per turn of the event loop: opening thousands at once would hold it,
// and so would their answers arriving together.
void BulkCommand::sendNext() {
    m_sendDue = false;
    QElapsedTimer turn;
    turn.start();
    for (int started = 0; m_reaching < m_maxInFlight && m_open < openBudget() && !m_queue.isEmpty();
         ++started) {
        if (started == StartsPerTurn || turn.elapsed() >= TurnMs) {
            sendSoon();
            return;
        }
        const int row = m_queue.takeFirst();
        m_queued[std::size_t(row)] = false;
        auto& request = m_requests[std::size_t(row)];
        request = std::make_unique<AgentRequest>();
        connect(request.get(), &AgentRequest::sent, this, [this] {
            --m_reaching;
            sendSoon();
        });
        connect(request.get(), &AgentRequest::finished, this,
                [this, row](const AgentReply& reply) { done(row, bulkResultOf(reply)); });
        ++m_reaching;
        ++m_open;
        request->start(m_targets[row].address, m_port, u"aFlag="_s + m_word, m_bounds);
    }
    endIfDone();
}

void BulkCommand::sendSoon() {
    if (m_sendDue)
        return;
    m_sendDue = true;
    QMetaObject::invokeMethod(this, &BulkCommand::sendNext, Qt::QueuedConnection);
}

void BulkCommand::endIfDone() {
    if (m_running && !m_moreToCome && m_queue.isEmpty() && m_open == 0) {
        m_running = false;
        emit finished();
    }
}

void BulkCommand::done(int row, const BulkResult& result) {
    AgentRequest* request = m_requests[std::size_t(row)].release();
    if (!request->isSent())
        --m_reaching;
    request->deleteLater(); // the sender
    --m_open;
    setResult(row, result);
    emit progressed(row);
    if (m_queue.isEmpty())
        endIfDone();
    else
        sendSoon();
}

void BulkCommand::cancel() {
    const QList<int> queued = std::exchange(m_queue, {});
    for (int row : queued) {
        m_queued[std::size_t(row)] = false;
        setResult(row, {BulkOutcome::Cancelled, {}, 0});
        emit progressed(row);
    }
    for (auto& request : m_requests) {
        if (request)
            request->cancel(); // ends it through done()
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
    counts.sent = int(m_results.size()) - counts.pending + m_open;
    return counts;
}
