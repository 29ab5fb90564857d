#include "SlicedRead.h"

#include "DbError.h"

#include <QElapsedTimer>
#include <limits>

using namespace Qt::StringLiterals;

SlicedRead::SlicedRead(DbConnection* connection, QObject* parent)
    : QObject(parent), m_cursor(connection) {
    m_nextSlice.setSingleShot(true);
    connect(&m_nextSlice, &QTimer::timeout, this, &SlicedRead::runSlice);
    // The socket waited for goes with the connection; the next slice then fails at once.
    if (connection) {
        connect(connection, &DbConnection::closing, this, [this] {
            dropAnswer();
            if (m_nextSlice.isActive())
                m_nextSlice.start(0);
        });
    }
}

SlicedRead::~SlicedRead() {
    cancel();
}

void SlicedRead::start(const QString& statement,
                       const std::function<Record(const DbCursor&)>& bind) {
    cancel();
    try {
        m_cursor.open(statement);
        m_record = bind(m_cursor);
        m_busy.emplace();
        if (!readSlice(m_rowsPerSlice > 0 ? m_rowsPerSlice : FirstSliceRows, false))
            return;
    } catch (const DbError&) {
        cancel();
        throw;
    }
    nextSliceSoon();
}

void SlicedRead::cancel() {
    stopWaiting();
    m_cursor.close();
    m_record = nullptr;
    m_busy.reset();
}

// Whatever a slice's receiver starts next (another statement) is read to its end as well.
void SlicedRead::finish() {
    try {
        while (isRunning())
            readSlice(std::numeric_limits<int>::max(), false);
    } catch (const DbError&) {
        cancel();
        throw;
    }
}

int SlicedRead::field(const DbCursor& cursor, const QString& name) {
    const int index = cursor.fieldIndex(name);
    if (index < 0)
        throw DbError(u"Field '"_s + name + u"' not found"_s);
    return index;
}

void SlicedRead::runSlice() {
    stopWaiting();
    try {
        if (!readSlice(m_rowsPerSlice > 0 ? m_rowsPerSlice : std::numeric_limits<int>::max(),
                       m_rowsPerSlice == 0))
            return;
    } catch (const DbError& error) {
        cancel();
        emit failed(error.message());
        return;
    }
    nextSliceSoon();
}

// At once, or when the answer the cursor waits for comes in; in WaitMs at the latest, should
// the socket tell nothing (its input read already, or the connection closed meanwhile).
void SlicedRead::nextSliceSoon() {
    const int socket = m_cursor.waitingSocket();
    if (socket < 0) {
        m_nextSlice.start(0);
        return;
    }
    if (m_answer && m_answer->socket() != socket)
        dropAnswer();
    if (!m_answer) {
        m_answer = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        connect(m_answer, &QSocketNotifier::activated, this, &SlicedRead::runSlice);
    }
    m_answer->setEnabled(true);
    m_nextSlice.start(WaitMs);
}

// The notifier stays for the next wait on its socket; this may run while it tells its news.
void SlicedRead::stopWaiting() {
    m_nextSlice.stop();
    if (m_answer)
        m_answer->setEnabled(false);
}

// Later, as this may run while it tells its news.
void SlicedRead::dropAnswer() {
    if (m_answer) {
        m_answer->setEnabled(false);
        m_answer->deleteLater();
        m_answer = nullptr;
    }
}

bool SlicedRead::readSlice(int maxRows, bool timeBoxed) {
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    int n = 1;
    for (; n <= maxRows; ++n) {
        if (timeBoxed && m_cursor.waitingSocket() >= 0)
            break;
        if (!m_cursor.next()) {
            more = false;
            break;
        }
        m_record(m_cursor);
        if (timeBoxed && n % 64 == 0 && clock.elapsed() >= SliceMs)
            break;
    }
    if (!more)
        cancel();
    if (n > 1 || !more)
        emit sliceRead(!more);
    return more;
}
