#pragma once

#include "ModuleExport.h"

#include <QList>
#include <QStringList>
#include <QTimer>

// The operation-log rows of commands to agents, one per addressed user: who sent which
// command word to which address, and how it ended. Rows of a run against many agents are
// gathered and written a few dozen at a time in one transaction, so the window stays
// responsive; whatever is left is written when the log is freed.
class KVZ_MODULE_EXPORT BulkAudit : public QObject {
    Q_OBJECT
public:
    explicit BulkAudit(QObject* parent = nullptr);
    ~BulkAudit() override;

    void add(const QString& address, const QString& word, const QString& userName,
             const QString& result);
    void flush();

private:
    QList<QStringList> m_rows;
    QTimer m_timer;
};

// Writes one such row at once: for a single command.
void auditCommand(const QString& address, const QString& word, const QString& userName,
                  const QString& result);
