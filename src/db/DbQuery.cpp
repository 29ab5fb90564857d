#include "DbQuery.h"

#include "DbError.h"
#include "JetDialect.h"
#include "QtResultSet.h"
#include "SqliteResultSet.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <vector>

namespace {

enum class EditState { Browse, Edit, Insert };

// Yes/no values are stored as the console's -1/0, never as 1.
QVariant storedValue(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? -1 : 0;
    }
    return value;
}

QString placeholderName(const QString& name) {
    return name.startsWith(u':') ? name : QStringLiteral(":") + name;
}

// The table of a select that can be edited: "select ... from <table> [where ...|order by ...]".
// Empty for joins and multi-table selects.
QString editableTable(const QString& statement) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*select\s.+?\sfrom\s+(\w+)\s*(?:(?:where|order)\b.*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(statement);
    return match.hasMatch() ? match.captured(1) : QString();
}

// Equality as locate() sees it: text without regard to letter case, NULL only equal to NULL.
class LocateMatch {
public:
    explicit LocateMatch(const QVariant& wanted)
        : m_wanted(wanted), m_text(wanted.toString()),
          m_wantedIsText(wanted.typeId() == QMetaType::QString) {}

    bool operator()(const QVariant& stored) const {
        if (stored.isNull() || m_wanted.isNull()) {
            return stored.isNull() && m_wanted.isNull();
        }
        if (m_wantedIsText || stored.typeId() == QMetaType::QString) {
            return stored.toString().compare(m_text, Qt::CaseInsensitive) == 0;
        }
        return stored == m_wanted;
    }

private:
    QVariant m_wanted;
    QString m_text;
    bool m_wantedIsText;
};

} // namespace

struct DbQuery::Private {
    DbConnection* connection = nullptr;
    QString statement;
    QList<std::pair<QString, QVariant>> params;

    bool active = false;
    QStringList names;
    QHash<QString, int> indexByName; // case-folded name -> first column of that name
    std::unique_ptr<ResultSet> result;
    QHash<int, QVariantList> postedRows; // rows as posted, over the result; appended rows too
    int columns = 0;
    int rows = 0; // the result's rows and the appended ones
    int position = 0;
    bool atEof = true;
    bool atBof = true;

    EditState state = EditState::Browse;
    QVariantList buffer;
    std::vector<bool> modified;
    QString table;
    QStringList keyColumns;

    DbConnection& requireConnection() const;
    QSqlQuery run(bool forwardOnly) const;
    std::unique_ptr<ResultSet> select() const;
    void load(std::unique_ptr<ResultSet> opened);
    void reset();
    void requireActive() const;
    void requireEditing() const;
    void requireWritable() const;
    int requireField(const QString& name) const;
    void resolveTable();
    QVariant field(int row, int column) const;
    QVariantList record(int row) const;
    void startEditing(EditState newState);
    void postUpdate();
    void postInsert();
    QVariant insertedKey(QSqlQuery& query) const;
    void reloadRow(const QVariantList& key);
    QString quoted(const QString& identifier) const;
    QString keyCondition() const;
};

DbConnection& DbQuery::Private::requireConnection() const {
    if (!connection) {
        throw DbError(QStringLiteral("The query has no connection"));
    }
    connection->requireOpen();
    return *connection;
}

QSqlQuery DbQuery::Private::run(bool forwardOnly) const {
    DbConnection& conn = requireConnection();
    QSqlQuery query(conn.database());
    query.setForwardOnly(forwardOnly);
    const QString text = conn.translate(statement);
    // PostgreSQL would run a second statement; Qt's SQLite driver refuses it in poorer words.
    if (holdsSecondStatement(text)) {
        throw DbError(MultipleStatementsRefused);
    }
    bool ok = false;
    if (params.isEmpty()) {
        ok = query.exec(text);
    } else {
        ok = query.prepare(text);
        if (ok) {
            for (const auto& [name, value] : params) {
                query.bindValue(placeholderName(name), value);
            }
            ok = query.exec();
        }
    }
    if (!ok) {
        throw conn.failure(query.lastError());
    }
    return query;
}

// SQLite selects run on the native handle; other statements and backends go through Qt, whose
// PostgreSQL driver keeps the whole result in memory when the query is not forward-only.
std::unique_ptr<ResultSet> DbQuery::Private::select() const {
    DbConnection& conn = requireConnection();
    if (conn.backend() == DbBackend::SQLite) {
        if (auto native =
                SqliteResultSet::select(conn.database(), conn.translate(statement), params)) {
            return native;
        }
    }
    QSqlQuery query = run(false);
    if (!query.isSelect()) {
        throw DbError(QStringLiteral("The statement returns no records: ") + statement);
    }
    return std::make_unique<QtResultSet>(std::move(query), conn);
}

void DbQuery::Private::load(std::unique_ptr<ResultSet> opened) {
    result = std::move(opened);
    names = result->names();
    columns = int(names.size());
    // QHash::insert replaces: walk backwards so the first column of a name wins.
    for (int i = columns - 1; i >= 0; --i) {
        indexByName.insert(names.at(i).toCaseFolded(), i);
    }
    rows = result->rows();
    active = true;
    position = 0;
    atBof = true;
    atEof = rows == 0;
}

void DbQuery::Private::reset() {
    active = false;
    names.clear();
    indexByName.clear();
    result.reset();
    postedRows.clear();
    columns = rows = position = 0;
    atEof = atBof = true;
    state = EditState::Browse;
    buffer.clear();
    modified.clear();
    table.clear();
    keyColumns.clear();
}

void DbQuery::Private::requireActive() const {
    if (!active) {
        throw DbError(QStringLiteral("The data set is not open"));
    }
}

void DbQuery::Private::requireEditing() const {
    if (state == EditState::Browse) {
        throw DbError(QStringLiteral("The data set is not in edit or insert mode"));
    }
}

void DbQuery::Private::requireWritable() const {
    if (requireConnection().isReadOnly()) {
        throw DbError(ReadOnlyRefused);
    }
}

int DbQuery::Private::requireField(const QString& name) const {
    const int index = indexByName.value(name.toCaseFolded(), -1);
    if (index < 0) {
        throw DbError(QStringLiteral("Field '%1' not found").arg(name));
    }
    return index;
}

void DbQuery::Private::resolveTable() {
    if (!table.isEmpty()) {
        return;
    }
    const QString name = editableTable(statement);
    if (name.isEmpty()) {
        throw DbError(QStringLiteral("Only a select from a single table can be edited"));
    }
    keyColumns = requireConnection().primaryKey(name);
    table = name;
}

QVariant DbQuery::Private::field(int row, int column) const {
    if (!postedRows.isEmpty()) {
        const auto posted = postedRows.constFind(row);
        if (posted != postedRows.cend()) {
            return posted->at(column);
        }
    }
    return result->value(row, column);
}

QVariantList DbQuery::Private::record(int row) const {
    QVariantList values;
    values.reserve(columns);
    for (int column = 0; column < columns; ++column) {
        values << field(row, column);
    }
    return values;
}

void DbQuery::Private::startEditing(EditState newState) {
    resolveTable();
    if (rows > 0 && newState == EditState::Edit) {
        buffer = record(position);
    } else {
        buffer = QVariantList(columns);
    }
    modified.assign(size_t(columns), false);
    state = newState;
}

QString DbQuery::Private::quoted(const QString& identifier) const {
    return connection->database().driver()->escapeIdentifier(identifier, QSqlDriver::FieldName);
}

QString DbQuery::Private::keyCondition() const {
    QStringList parts;
    for (const QString& column : keyColumns) {
        parts << quoted(column) + QStringLiteral(" = ?");
    }
    return parts.join(QStringLiteral(" and "));
}

void DbQuery::Private::postUpdate() {
    if (keyColumns.isEmpty()) {
        throw DbError(
            QStringLiteral("Table %1 has no primary key; the record cannot be updated").arg(table));
    }
    QStringList assignments;
    QVariantList values;
    for (int i = 0; i < columns; ++i) {
        if (modified[size_t(i)]) {
            assignments << quoted(names.at(i)) + QStringLiteral(" = ?");
            values << buffer[i];
        }
    }
    if (assignments.isEmpty()) {
        return;
    }
    QVariantList oldKey, newKey;
    for (const QString& column : keyColumns) {
        const int index = requireField(column);
        oldKey << field(position, index);
        newKey << buffer[index];
    }
    QSqlQuery query(connection->database());
    const QString text = QStringLiteral("update ") + table + QStringLiteral(" set ") +
                         assignments.join(QStringLiteral(", ")) + QStringLiteral(" where ") +
                         keyCondition();
    if (!query.prepare(text)) {
        throw sqlError(query.lastError());
    }
    for (const QVariant& value : values + oldKey) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        throw sqlError(query.lastError());
    }
    if (query.numRowsAffected() == 0) {
        throw DbError(QStringLiteral("The record to update no longer exists in %1").arg(table));
    }
    reloadRow(newKey);
}

QVariant DbQuery::Private::insertedKey(QSqlQuery& query) const {
    if (connection->backend() == DbBackend::PostgreSQL) {
        return query.next() ? query.value(0) : QVariant();
    }
    return query.lastInsertId();
}

void DbQuery::Private::postInsert() {
    QStringList fields, marks;
    QVariantList values;
    for (int i = 0; i < columns; ++i) {
        if (modified[size_t(i)]) {
            fields << quoted(names.at(i));
            marks << QStringLiteral("?");
            values << buffer[i];
        }
    }
    QString text = QStringLiteral("insert into ") + table;
    text += fields.isEmpty()
                ? QStringLiteral(" default values")
                : QStringLiteral(" (") + fields.join(u',') + QStringLiteral(") values (") +
                      marks.join(u',') + QStringLiteral(")");
    const bool singleKey = keyColumns.size() == 1;
    if (singleKey && connection->backend() == DbBackend::PostgreSQL) {
        text += QStringLiteral(" returning ") + quoted(keyColumns.first());
    }
    QSqlQuery query(connection->database());
    if (!query.prepare(text)) {
        throw sqlError(query.lastError());
    }
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        throw sqlError(query.lastError());
    }
    // The new record goes to the end of the data set, as a posted append does.
    postedRows.insert(rows, buffer);
    ++rows;
    position = rows - 1;
    if (!singleKey) {
        return;
    }
    // The record is stored: a failed re-read leaves it as posted rather than report the insert
    // as failed, which would invite a second one.
    try {
        reloadRow({insertedKey(query)});
    } catch (const DbError&) {
    }
}

void DbQuery::Private::reloadRow(const QVariantList& key) {
    QSqlQuery query(connection->database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("select * from ") + table + QStringLiteral(" where ") +
                       keyCondition())) {
        throw sqlError(query.lastError());
    }
    for (const QVariant& value : key) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        throw sqlError(query.lastError());
    }
    if (!query.next()) {
        postedRows.insert(position, buffer);
        return;
    }
    QVariantList row = record(position);
    const QSqlRecord fields = query.record();
    for (int i = 0; i < fields.count(); ++i) {
        const int index = indexByName.value(fields.fieldName(i).toCaseFolded(), -1);
        if (index >= 0) {
            row[index] = query.value(i);
        }
    }
    postedRows.insert(position, row);
}

DbQuery::DbQuery(DbConnection* connection) : d(std::make_unique<Private>()) {
    d->connection = connection;
}

DbQuery::~DbQuery() = default;

void DbQuery::setConnection(DbConnection* connection) {
    close();
    d->connection = connection;
}

DbConnection* DbQuery::connection() const {
    return d->connection;
}

void DbQuery::setSql(const QString& statement) {
    close();
    d->statement = statement;
    d->params.clear();
}

QString DbQuery::sql() const {
    return d->statement;
}

void DbQuery::setParam(const QString& name, const QVariant& value) {
    const QString key = name.startsWith(u':') ? name.mid(1) : name;
    for (auto& param : d->params) {
        if (param.first.compare(key, Qt::CaseInsensitive) == 0) {
            param.second = storedValue(value);
            return;
        }
    }
    d->params.append({key, storedValue(value)});
}

void DbQuery::open() {
    close();
    d->load(d->select());
}

void DbQuery::close() {
    d->reset();
}

bool DbQuery::isActive() const {
    return d->active;
}

int DbQuery::execSql() {
    close();
    d->requireWritable();
    QSqlQuery query = d->run(true);
    return query.numRowsAffected();
}

int DbQuery::recordCount() const {
    return d->rows;
}

bool DbQuery::isEmpty() const {
    return d->rows == 0;
}

bool DbQuery::eof() const {
    return d->atEof;
}

bool DbQuery::bof() const {
    return d->atBof;
}

void DbQuery::first() {
    d->requireActive();
    postPending();
    d->position = 0;
    d->atBof = true;
    d->atEof = d->rows == 0;
}

void DbQuery::next() {
    d->requireActive();
    postPending();
    if (d->position + 1 < d->rows) {
        ++d->position;
        d->atBof = false;
    } else {
        d->atEof = true;
    }
}

void DbQuery::prior() {
    d->requireActive();
    postPending();
    if (d->position > 0) {
        --d->position;
        d->atEof = false;
    } else {
        d->atBof = true;
    }
}

void DbQuery::last() {
    d->requireActive();
    postPending();
    d->position = d->rows > 0 ? d->rows - 1 : 0;
    d->atEof = true;
    d->atBof = d->rows == 0;
}

int DbQuery::recNo() const {
    return d->position;
}

bool DbQuery::locate(const QString& field, const QVariant& value) {
    d->requireActive();
    postPending();
    const int index = d->requireField(field);
    const LocateMatch matches(storedValue(value));
    for (int row = 0; row < d->rows; ++row) {
        if (matches(d->field(row, index))) {
            d->position = row;
            d->atBof = d->atEof = false;
            return true;
        }
    }
    return false;
}

int DbQuery::fieldCount() const {
    return d->columns;
}

QString DbQuery::fieldName(int index) const {
    return d->names.value(index);
}

int DbQuery::fieldIndex(const QString& name) const {
    return d->indexByName.value(name.toCaseFolded(), -1);
}

QVariant DbQuery::value(int index) const {
    if (index < 0 || index >= d->columns) {
        throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
    }
    if (d->state != EditState::Browse) {
        return d->buffer[index];
    }
    return d->rows > 0 ? d->field(d->position, index) : QVariant();
}

QVariant DbQuery::value(const QString& name) const {
    return value(d->requireField(name));
}

QString DbQuery::asString(const QString& name) const {
    return value(name).toString();
}

int DbQuery::asInteger(const QString& name) const {
    bool ok = false;
    const int number = value(name).toInt(&ok);
    return ok ? number : 0;
}

bool DbQuery::asBoolean(const QString& name) const {
    const QVariant field = value(name);
    if (field.typeId() == QMetaType::QString) {
        const QString text = field.toString().trimmed();
        return text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
               text.toLongLong() != 0;
    }
    return field.toLongLong() != 0;
}

void DbQuery::edit() {
    d->requireActive();
    if (d->state != EditState::Browse) {
        return;
    }
    // Editing an empty data set appends, as the console's data sets do.
    d->startEditing(d->rows == 0 ? EditState::Insert : EditState::Edit);
}

void DbQuery::append() {
    d->requireActive();
    postPending();
    d->startEditing(EditState::Insert);
}

void DbQuery::setValue(const QString& name, const QVariant& value) {
    d->requireEditing();
    const int index = d->requireField(name);
    d->buffer[index] = storedValue(value);
    d->modified[size_t(index)] = true;
}

void DbQuery::post() {
    d->requireEditing();
    d->requireWritable();
    if (d->state == EditState::Edit) {
        d->postUpdate();
    } else {
        d->postInsert();
    }
    d->state = EditState::Browse;
    d->atBof = d->atEof = false;
}

void DbQuery::postPending() {
    if (d->state != EditState::Browse) {
        post();
    }
}

void DbQuery::cancel() {
    d->state = EditState::Browse;
    d->buffer.clear();
    d->modified.clear();
}

DbCommand::DbCommand(DbConnection* connection, const QString& statement) : m_query(connection) {
    m_query.setSql(statement);
}

DbCommand::~DbCommand() = default;

void DbCommand::setSql(const QString& statement) {
    m_query.setSql(statement);
}

void DbCommand::setParam(const QString& name, const QVariant& value) {
    m_query.setParam(name, value);
}

int DbCommand::execute() {
    return m_query.execSql();
}

QVariant DbCommand::scalar() {
    m_query.open();
    const QVariant result = m_query.isEmpty() ? QVariant() : m_query.value(0);
    m_query.close();
    return result;
}
