#include "BulkAudit.h"

#include "DbError.h"
#include "DbTransaction.h"
#include "LogonInfo.h"
#include "OperationLog.h"

#include <QDateTime>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int FlushMs = 250;

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
    m_timer.setInterval(FlushMs);
    connect(&m_timer, &QTimer::timeout, this, &BulkAudit::flush);
}

BulkAudit::~BulkAudit() {
    flush();
}

void BulkAudit::add(const QString& address, const QString& word, const QString& userName,
                    const QString& result) {
    m_rows.append(auditRow(address, word, userName, result));
    if (!m_timer.isActive())
        m_timer.start();
}

// Logging never disturbs the command: a transaction that cannot begin or end leaves the rows
// written one by one, as WriteLogFile does.
void BulkAudit::flush() {
    m_timer.stop();
    const QList<QStringList> rows = std::exchange(m_rows, {});
    if (rows.isEmpty() || !LogonInfo->Connection)
        return;
    try {
        DbTransaction transaction(*LogonInfo->Connection);
        for (const QStringList& row : rows)
            writeRow(row);
        transaction.commit();
    } catch (const DbError&) {
        for (const QStringList& row : rows)
            writeRow(row);
    }
}
