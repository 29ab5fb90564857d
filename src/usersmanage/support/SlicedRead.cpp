#include "SlicedRead.h"

#include "DbError.h"

#include <QElapsedTimer>
#include <limits>

using namespace Qt::StringLiterals;

SlicedRead::SlicedRead(DbConnection* connection, QObject* parent)
    : QObject(parent), m_cursor(connection) {
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &SlicedRead::runSlice);
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
    m_nextSlice.start();
}

void SlicedRead::cancel() {
    m_nextSlice.stop();
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
    try {
        if (!readSlice(m_rowsPerSlice > 0 ? m_rowsPerSlice : std::numeric_limits<int>::max(),
                       m_rowsPerSlice == 0))
            return;
    } catch (const DbError& error) {
        cancel();
        emit failed(error.message());
        return;
    }
    m_nextSlice.start();
}

bool SlicedRead::readSlice(int maxRows, bool timeBoxed) {
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    for (int n = 1; n <= maxRows; ++n) {
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
    emit sliceRead(!more);
    return more;
}
