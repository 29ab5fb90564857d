#include "ChangeTriggers.h"

#include "DbChangeWatcher.h"
#include "SchemaTables.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

// The watched tables: the tree, the list and the role names the list shows.
const QStringList WatchedTables = {QStringLiteral("UserSort"), QStringLiteral("Users"),
                                   QStringLiteral("UserRole")};

// Trigger bodies hold statements of their own, which the module's commands refuse: these
// fixed texts go to the driver as they are.
void execute(DbConnection& connection, const QString& statement) {
    QSqlQuery query(connection.database());
    if (!query.exec(statement))
        throw connection.failure(query.lastError());
}

// The updates of table that count as changes: "update of" the columns other than the agent
// states where it has some, any update elsewhere (a column list would pin every column).
QString coveredUpdate(const QString& table) {
    QStringList columns;
    bool agentStates = false;
    for (const TableDef& def : managementTables()) {
        if (table.compare(def.name, Qt::CaseInsensitive) != 0)
            continue;
        for (const ColumnDef& column : def.columns) {
            const QString name(column.name);
            if (AgentStateColumns.contains(name, Qt::CaseInsensitive))
                agentStates = true;
            else
                columns << QStringLiteral("\"%1\"").arg(name.toLower());
        }
    }
    return agentStates ? QStringLiteral("update of ") + columns.join(u',')
                       : QStringLiteral("update");
}

void createOnSqlite(DbConnection& connection) {
    execute(connection, QStringLiteral("create table if not exists %1 (Serial integer not null)")
                            .arg(ChangeSerialTable));
    execute(connection, QStringLiteral("insert into %1 (Serial) select 0 where not exists "
                                       "(select 1 from %1)")
                            .arg(ChangeSerialTable));
    const QString bump =
        QStringLiteral(" begin update %1 set Serial = Serial + 1; end").arg(ChangeSerialTable);
    for (const QString& table : WatchedTables) {
        const QString name = QStringLiteral("kvz_change_") + table.toLower();
        const QStringList events = {QStringLiteral("insert"), QStringLiteral("delete"),
                                    coveredUpdate(table)};
        for (int i = 0; i < events.size(); ++i) {
            execute(connection, QStringLiteral("create trigger if not exists %1_%2 after %3 on "
                                               "%4 for each row")
                                        .arg(name)
                                        .arg(i)
                                        .arg(events[i], table) +
                                    bump);
        }
    }
}

void createOnPostgres(DbConnection& connection) {
    execute(connection,
            QStringLiteral("create or replace function kvz_notify_change() returns trigger "
                           "language plpgsql as $$ begin perform pg_notify('%1', tg_table_schema); "
                           "return null; end $$")
                .arg(ChangeChannel));
    for (const QString& table : WatchedTables) {
        execute(connection,
                QStringLiteral("create or replace trigger kvz_change_%1 after insert or delete or "
                               "%2 on %1 for each statement execute function "
                               "kvz_notify_change()")
                    .arg(table.toLower(), coveredUpdate(table)));
    }
}

} // namespace

void createChangeTriggers(DbConnection& connection) {
    if (connection.backend() == DbBackend::SQLite)
        createOnSqlite(connection);
    else
        createOnPostgres(connection);
}
