#include "BulkAudit.h"

#include "DbError.h"
#include "DbTransaction.h"
#include "LogonInfo.h"
#include "OperationLog.h"

#include <QDateTime>
#include <QElapsedTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int FlushMs = 250;
constexpr int TurnMs = 4; // a turn of the event loop stays short
constexpr int NextRowsMs = 10;

QStringList auditRow(const QString& address, const QString& word, const QString& userName,
                     const QString& result) {
    // A row with a blank field is not written: a user without an address is logged with "-".
    const QString where = address.trimmed().isEmpty() ? u"-"_s : address;
    return {QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s),
            LogonInfo->AdminName,
            where,
            word,
            userName.trimmed().isEmpty() ? u"-"_s : userName,
            result};
}

void writeRow(const QStringList& row) {
    WriteLogFile(row[0], row[1], row[2], row[3], row[4], row[5]);
}

} // namespace

void auditCommand(const QString& address, const QString& word, const QString& userName,
                  const QString& result) {
    writeRow(auditRow(address, word, userName, result));
}

BulkAudit::BulkAudit(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BulkAudit::flush);
}

BulkAudit::~BulkAudit() {
    while (!m_rows.isEmpty())
        flush();
}

void BulkAudit::add(const QString& address, const QString& word, const QString& userName,
                    const QString& result) {
    m_rows.append(auditRow(address, word, userName, result));
    if (!m_timer.isActive())
        m_timer.start(FlushMs);
}

// Logging never disturbs the command: a transaction that cannot begin or end leaves the rows
// written one by one, as WriteLogFile does. The rows of a few milliseconds at a time; the rest
// soon after.
void BulkAudit::flush() {
    m_timer.stop();
    if (m_rows.isEmpty() || !LogonInfo->Connection) {
        m_rows.clear();
        return;
    }
    QElapsedTimer turn;
    turn.start();
    qsizetype written = 0;
    try {
        DbTransaction transaction(*LogonInfo->Connection);
        while (written < m_rows.size() && turn.elapsed() < TurnMs)
            writeRow(m_rows.at(written++));
        transaction.commit();
    } catch (const DbError&) {
        written = qMax(written, qsizetype(1));
        for (qsizetype row = 0; row < written; ++row)
            writeRow(m_rows.at(row));
    }
    m_rows.remove(0, written);
    if (!m_rows.isEmpty())
        m_timer.start(NextRowsMs);
}
