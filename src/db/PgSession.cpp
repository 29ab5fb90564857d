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
bool PgSession::send(const QString&, const void*) {
    return false;
}
PgSession::Result PgSession::take() {
    throw DbError(NoPostgresClient);
}
bool PgSession::takeWouldWait() {
    return false;
}
int PgSession::socket() const {
    return -1;
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
    while (m_sent > int(m_early.size())) {
        m_early.push_back(waitForSent());
    }
    leavePipeline();
    const QByteArray text = statement.toUtf8();
    const char* value = parameter.constData();
    return checked(
        Result(PQexecParams(m_connection.get(), text.constData(), parameter.isNull() ? 0 : 1,
                            nullptr, &value, nullptr, nullptr, 0)));
}

// Statements sent go through libpq's pipeline, each followed by a sync point, so that the
// server sends each result as soon as it is ready and an error ends only its own statement.
bool PgSession::send(const QString& statement, const void* sender) {
    if ((m_sent > 0 && sender != m_sender) || m_sent >= MaxSent) {
        return false;
    }
    PGconn* connection = m_connection.get();
    if (PQpipelineStatus(connection) == PQ_PIPELINE_OFF && !PQenterPipelineMode(connection)) {
        return false;
    }
    const QByteArray text = statement.toUtf8();
    if (!PQsendQueryParams(connection, text.constData(), 0, nullptr, nullptr, nullptr, nullptr,
                           0)) {
        if (m_sent == 0) {
            leavePipeline();
        }
        return false;
    }
    // Once queued, the statement is taken like any other: a sync point that cannot be sent
    // means a lost session, which take() reports.
    PQpipelineSync(connection);
    ++m_sent;
    m_sender = sender;
    return true;
}

PgSession::Result PgSession::take() {
    if (m_sent == 0) {
        throw DbError(QStringLiteral("No statement was sent to take a result of"));
    }
    Result result;
    if (m_early.empty()) {
        result = waitForSent();
    } else {
        result = std::move(m_early.front());
        m_early.pop_front();
    }
    if (--m_sent == 0) {
        m_sender = nullptr;
        leavePipeline();
    }
    return checked(std::move(result));
}

bool PgSession::takeWouldWait() {
    if (m_sent == 0 || !m_early.empty() || !PQconsumeInput(m_connection.get()))
        return false;
    return PQisBusy(m_connection.get()) != 0;
}

int PgSession::socket() const {
    return PQsocket(m_connection.get());
}

// The oldest sent statement's result. The rest of what the server sends for it, up to its sync
// point, is read and dropped; a lost session sends nothing more, so the wait ends with it.
PgSession::Result PgSession::waitForSent() {
    PGconn* connection = m_connection.get();
    Result result(PQgetResult(connection));
    int ends = 0;
    while (ends < 2 && !isLost()) {
        PGresult* more = PQgetResult(connection);
        if (more == nullptr) {
            ++ends;
            continue;
        }
        ends = 0;
        const bool synced = PQresultStatus(more) == PGRES_PIPELINE_SYNC;
        PQclear(more);
        if (synced) {
            break;
        }
    }
    return result;
}

void PgSession::leavePipeline() {
    if (PQpipelineStatus(m_connection.get()) != PQ_PIPELINE_OFF) {
        PQexitPipelineMode(m_connection.get());
    }
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
