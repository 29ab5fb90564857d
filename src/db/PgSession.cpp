#include "PgSession.h"

#include "DbError.h"

QStringList postgresSessionStatements(const DbSettings& settings) {
    QStringList statements{QStringLiteral("set client_min_messages to warning"),
                           QStringLiteral("set standard_conforming_strings = on"),
                           QStringLiteral("set lock_timeout = %1").arg(settings.lockTimeoutMs),
                           QStringLiteral("set statement_timeout = %1").arg(StatementTimeoutMs)};
    if (settings.readOnly) {
        statements << QStringLiteral("set default_transaction_read_only = on");
    }
    return statements;
}

QString missingSchemaText(const QString& schema) {
    return QStringLiteral("The database has no schema \"%1\"").arg(schema);
}

#ifdef KVZ_NO_LIBPQ
// Built without PostgreSQL's client library: no session opens, so nothing else runs.
void PgSession::ResultFree::operator()(pg_result*) const {}
void PgSession::ConnectionFree::operator()(pg_conn*) const {}
PgSession::PgSession(const DbSettings&) {
    throw DbError(NoPostgresClient);
}
PgSession::~PgSession() = default;
PgSession::Result PgSession::exec(const QString&, const QByteArray&) {
    throw DbError(NoPostgresClient);
}
bool PgSession::send(const QString&) {
    return false;
}
PgSession::Result PgSession::take() {
    throw DbError(NoPostgresClient);
}
bool PgSession::isLost() const {
    return true;
}
#else
#include <libpq-fe.h>
#include <vector>

namespace {

QString messageOf(const PGconn* connection) {
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

// Keywords and values go to PQconnectdbParams as they are, never parsed as a connection string,
// so no setting can smuggle in another; empty settings are left to libpq's defaults.
PGconn* connect(const DbSettings& settings) {
    std::vector<std::pair<const char*, QByteArray>> params;
    const auto add = [&params](const char* keyword, const QString& value) {
        if (!value.isEmpty()) {
            params.emplace_back(keyword, value.toUtf8());
        }
    };
    add("host", settings.host);
    add("port", QString::number(settings.port));
    add("dbname", settings.database);
    add("user", settings.user);
    add("password", settings.password);
    add("sslmode", settings.sslMode);
    add("connect_timeout", QString::number(ConnectTimeoutS));
    add("client_encoding", QStringLiteral("UTF8"));
    std::vector<const char*> keywords, values;
    for (const auto& [keyword, value] : params) {
        keywords.push_back(keyword);
        values.push_back(value.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keywords.data(), values.data(), 0);
}

} // namespace

void PgSession::ResultFree::operator()(pg_result* result) const {
    PQclear(result);
}

void PgSession::ConnectionFree::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

PgSession::PgSession(const DbSettings& settings) {
    m_connection.reset(connect(settings));
    if (!m_connection) {
        throw DbError(QStringLiteral("The database cannot be reached: out of memory"));
    }
    if (PQstatus(m_connection.get()) != CONNECTION_OK) {
        throw DbError(QStringLiteral("The database cannot be reached: ") +
                      messageOf(m_connection.get()));
    }
    for (const QString& statement : postgresSessionStatements(settings)) {
        exec(statement);
    }
    if (!settings.schema.isEmpty()) {
        if (PQntuples(exec(SearchPathStatement, settings.schema.toUtf8()).get()) != 1)
            throw DbError(missingSchemaText(settings.schema));
    }
}

PgSession::~PgSession() = default;

PgSession::Result PgSession::exec(const QString& statement, const QByteArray& parameter) {
    if (m_sent && !m_arrived) {
        m_early = waitForSent();
        m_arrived = true;
    }
    const QByteArray text = statement.toUtf8();
    const char* value = parameter.constData();
    return checked(
        Result(PQexecParams(m_connection.get(), text.constData(), parameter.isNull() ? 0 : 1,
                            nullptr, &value, nullptr, nullptr, 0)));
}

bool PgSession::send(const QString& statement) {
    if (m_sent) {
        return false;
    }
    const QByteArray text = statement.toUtf8();
    m_sent = PQsendQueryParams(m_connection.get(), text.constData(), 0, nullptr, nullptr, nullptr,
                               nullptr, 0) == 1;
    return m_sent;
}

PgSession::Result PgSession::take() {
    Result result = m_arrived ? std::move(m_early) : waitForSent();
    m_sent = m_arrived = false;
    return checked(std::move(result));
}

// The sent statement's result; the rest of what the server sends for it is read and dropped.
PgSession::Result PgSession::waitForSent() {
    Result result(PQgetResult(m_connection.get()));
    while (PGresult* more = PQgetResult(m_connection.get())) {
        PQclear(more);
    }
    return result;
}

PgSession::Result PgSession::checked(Result result) const {
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        return result;
    }
    const char* code = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
    const QString message = result ? QString::fromUtf8(PQresultErrorMessage(result.get())).trimmed()
                                   : messageOf(m_connection.get());
    if (isLost()) {
        throw DbError(message + ConnectionLostNote);
    }
    throw databaseError(QString::fromLatin1(code), message);
}

bool PgSession::isLost() const {
    return PQstatus(m_connection.get()) != CONNECTION_OK;
}
#endif
