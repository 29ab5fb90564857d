#include "BulkCommand.h"

#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int StartsPerTurn = 16;

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
      m_requests(std::size_t(m_targets.size())) {
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
            m_queue.contains(row))
            continue;
        setResult(row, {});
        m_queue.append(row);
    }
    m_running = true;
    sendNext();
}

// A few new connections per turn of the event loop: opening thousands at once would hold it,
// and so would their answers arriving together.
void BulkCommand::sendNext() {
    m_sendDue = false;
    for (int started = 0; m_inFlight < m_maxInFlight && !m_queue.isEmpty(); ++started) {
        if (started == StartsPerTurn) {
            m_sendDue = true;
            QTimer::singleShot(0, this, &BulkCommand::sendNext);
            return;
        }
        const int row = m_queue.takeFirst();
        auto& request = m_requests[std::size_t(row)];
        request = std::make_unique<AgentRequest>();
        connect(request.get(), &AgentRequest::finished, this,
                [this, row](const AgentReply& reply) { done(row, bulkResultOf(reply)); });
        ++m_inFlight;
        request->start(m_targets[row].address, m_port, u"aFlag="_s + m_word, m_bounds);
    }
    if (m_running && m_queue.isEmpty() && m_inFlight == 0) {
        m_running = false;
        emit finished();
    }
}

void BulkCommand::done(int row, const BulkResult& result) {
    m_requests[std::size_t(row)].release()->deleteLater(); // the sender
    --m_inFlight;
    setResult(row, result);
    emit progressed(row);
    if (!m_sendDue)
        sendNext();
}

void BulkCommand::cancel() {
    const QList<int> queued = std::exchange(m_queue, {});
    for (int row : queued) {
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
    counts.sent = int(m_results.size()) - counts.pending + m_inFlight;
    return counts;
}
