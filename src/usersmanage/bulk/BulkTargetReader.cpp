#include "BulkTargetReader.h"

#include "DbError.h"

#include <QElapsedTimer>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int SliceMs = 6;
constexpr int Uid = 0, Pid = 1, UserName = 2, Ip = 3;

QString textOf(QByteArrayView utf8) {
    return QString::fromUtf8(utf8).trimmed();
}

} // namespace

BulkTargetReader::BulkTargetReader(DbConnection* connection, QHash<qint32, QString> departments,
                                   bool everyone, QObject* parent)
    : QObject(parent), m_cursor(connection), m_departments(std::move(departments)),
      m_everyone(everyone) {
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &BulkTargetReader::readSlice);
}

// In the order of the user ids, which needs no sorting before the first row.
void BulkTargetReader::start() {
    m_cursor.open(u"select Uid, Pid, UserName, Ip from Users order by Uid"_s);
    m_nextSlice.start();
}

QList<BulkTarget> BulkTargetReader::readAll() {
    start();
    m_nextSlice.stop();
    QList<BulkTarget> targets;
    readRows(targets, std::numeric_limits<qint64>::max());
    return targets;
}

void BulkTargetReader::cancel() {
    m_nextSlice.stop();
    m_cursor.close();
}

void BulkTargetReader::readSlice() {
    QList<BulkTarget> targets;
    QString error;
    bool more = false;
    try {
        more = readRows(targets, SliceMs);
    } catch (const DbError& e) {
        error = e.message();
        m_cursor.close();
    }
    if (!targets.isEmpty())
        emit read(targets);
    if (more)
        m_nextSlice.start();
    else
        emit ended(error);
}

// True while rows are left.
bool BulkTargetReader::readRows(QList<BulkTarget>& into, qint64 budgetMs) {
    QElapsedTimer clock;
    clock.start();
    for (int n = 1; m_cursor.next(); ++n) {
        const auto pid = qint32(m_cursor.integer(Pid));
        if (m_everyone || m_departments.contains(pid))
            into.append({qint32(m_cursor.integer(Uid)), textOf(m_cursor.text(UserName)),
                         m_departments.value(pid), textOf(m_cursor.text(Ip))});
        if (n % 64 == 0 && clock.elapsed() >= budgetMs)
            return true;
    }
    return false;
}
