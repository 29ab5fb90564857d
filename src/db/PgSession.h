#pragma once

#include "DbConnection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

struct pg_conn;
struct pg_result;

// What prepares every PostgreSQL session of a connection: notices kept quiet, literals with
// plain backslashes, the lock and statement time-outs, read-only when asked; then, when a
// schema is set, SearchPathStatement with the schema bound as its only parameter.
QStringList postgresSessionStatements(const DbSettings& settings);
// What every PostgreSQL read fails with in a build without libpq (the Windows cross-build).
inline const QString NoPostgresClient =
    QStringLiteral("This build of the console has no PostgreSQL client library (libpq)");
// It returns no row when the schema does not exist: the session would otherwise create and
// read its tables in public without a word.
inline const QString SearchPathStatement =
    QStringLiteral("select set_config('search_path', quote_ident(nspname) || ', public', false) "
                   "from pg_namespace where nspname = $1");
// What a session fails with when its schema does not exist.
QString missingSchemaText(const QString& schema);

// A PostgreSQL session of libpq's own, opened with what the connection's Qt sessions use: host,
// port, database, user, password (else libpq's PGPASSWORD and password file), TLS mode, the
// connect time-out, UTF-8 texts and the prepared session. Every statement runs alone through
// the extended protocol, so a text holding a second statement is refused by the server. Every
// failure throws DbError; one that finds the session dropped says so and marks it lost.
class PgSession {
public:
    explicit PgSession(const DbSettings& settings);
    ~PgSession();
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    struct ResultFree {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultFree>;

    // Runs statement, with one text parameter when parameter is not null. A statement sent and
    // not taken yet is waited for first, its result kept for take().
    Result exec(const QString& statement, const QByteArray& parameter = {});
    // Sends statement without waiting, so that the server works on it meanwhile; take() returns
    // its result. False when a statement sent earlier is not taken yet, or it could not be sent:
    // the caller then runs it with exec().
    bool send(const QString& statement);
    // The result of the statement sent, waiting for it; throws as exec() does.
    Result take();
    bool isLost() const;

private:
    Result checked(Result result) const;
    Result waitForSent();

    struct ConnectionFree {
        void operator()(pg_conn* connection) const;
    };
    std::unique_ptr<pg_conn, ConnectionFree> m_connection;
    bool m_sent = false;    // a statement was sent and is not taken yet
    bool m_arrived = false; // and its result waits in m_early
    Result m_early;
};
