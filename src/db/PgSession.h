#pragma once

#include "DbConnection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
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

    // Runs statement, with one text parameter when parameter is not null. Statements sent and
    // not taken yet are waited for first, their results kept for take().
    Result exec(const QString& statement, const QByteArray& parameter = {});
    // Sends statement without waiting, behind the statements sender sent before, so that the
    // server works on them meanwhile; take() returns their results in order. False when another
    // sender's statements are not all taken yet, MaxSent are on their way, or it could not be
    // sent: the caller then runs it with exec().
    bool send(const QString& statement, const void* sender);
    // The result of the oldest statement sent, waiting for it; throws as exec() does.
    Result take();
    // Whether take() would wait for the server: the input that came meanwhile is read first.
    // False when nothing was sent, or when the session is lost (take() then fails at once).
    bool takeWouldWait();
    int socket() const; // the session's socket, whose input take() waits for
    bool isLost() const;

    static constexpr int MaxSent = 3;

private:
    Result checked(Result result) const;
    Result waitForSent();
    void leavePipeline();

    struct ConnectionFree {
        void operator()(pg_conn* connection) const;
    };
    std::unique_ptr<pg_conn, ConnectionFree> m_connection;
    int m_sent = 0;                 // statements sent and not taken yet
    const void* m_sender = nullptr; // who sent them
    std::deque<Result> m_early;     // the results of the oldest, waited for by exec()
};
