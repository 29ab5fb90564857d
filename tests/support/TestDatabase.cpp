#include "TestDatabase.h"

#include "DbError.h"
#include "DbQuery.h"
#include "DemoSeed.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <atomic>
#include <stdexcept>

namespace {

QString pgEnvPath() {
    return QStringLiteral(KVZ_PG_DIR "/pg.env");
}

QHash<QString, QString> readPgEnv() {
    QFile file(pgEnvPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        throw std::runtime_error(
            "The PostgreSQL test server is not running (no " + pgEnvPath().toStdString() +
            "). Run the tests through ctest, which starts it, or start it with "
            "scripts/pg-test-server.sh start " KVZ_PG_DIR);
    }
    QHash<QString, QString> values;
    QTextStream stream(&file);
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0) {
            values.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return values;
}

QString uniqueSchemaName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("t%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter)
        .arg(QRandomGenerator::global()->bounded(1000000u));
}

} // namespace

std::vector<DbBackend> testBackends() {
#ifdef _WIN32
    return {DbBackend::SQLite}; // the Windows test run has no PostgreSQL server
#else
    return {DbBackend::SQLite, DbBackend::PostgreSQL};
#endif
}

std::string backendName(const ::testing::TestParamInfo<DbBackend>& info) {
    return info.param == DbBackend::SQLite ? "SQLite" : "PostgreSQL";
}

void PrintTo(DbBackend backend, std::ostream* os) {
    *os << (backend == DbBackend::SQLite ? "SQLite" : "PostgreSQL");
}

DbSettings postgresTestSettings() {
    const QHash<QString, QString> env = readPgEnv();
    DbSettings settings;
    settings.backend = DbBackend::PostgreSQL;
    settings.host = env.value(QStringLiteral("PGHOST"));
    settings.port = env.value(QStringLiteral("PGPORT")).toInt();
    settings.user = env.value(QStringLiteral("PGUSER"));
    settings.database = env.value(QStringLiteral("PGDATABASE"));
    return settings;
}

TestDatabase::TestDatabase(DbBackend backend, Seed seed) {
    if (backend == DbBackend::SQLite) {
        m_folder = std::make_unique<QTemporaryDir>();
        if (!m_folder->isValid()) {
            throw std::runtime_error("cannot create a temporary folder for the test database");
        }
        m_settings.backend = DbBackend::SQLite;
        m_settings.sqlitePath = m_folder->filePath(QStringLiteral("management.db"));
    } else {
        m_settings = postgresTestSettings();
        createPostgresSchema();
    }
    try {
        prepare(seed);
    } catch (...) {
        if (backend == DbBackend::PostgreSQL) {
            dropPostgresSchema(); // the destructor does not run for a failed constructor
        }
        throw;
    }
}

void TestDatabase::prepare(Seed seed) {
    m_connection = openConnection();
    createSchema(*m_connection);
    if (seed == Seed::Demo) {
        seedDemo(*m_connection);
    }
}

TestDatabase::~TestDatabase() {
    if (backend() == DbBackend::PostgreSQL) {
        try {
            dropPostgresSchema();
        } catch (const DbError& error) {
            ADD_FAILURE() << "dropping the test schema failed: " << error.what();
        }
    }
}

std::unique_ptr<DbConnection> TestDatabase::openConnection() const {
    return DbConnection::open(m_settings);
}

void TestDatabase::exec(const QString& sql) {
    DbCommand(m_connection.get(), sql).execute();
}

QVariant TestDatabase::scalar(const QString& sql) {
    return DbCommand(m_connection.get(), sql).scalar();
}

void TestDatabase::dropTable(const QString& table) {
    exec(QStringLiteral("drop table ") + table);
}

void TestDatabase::closeConnection() {
    m_connection->close();
}

void TestDatabase::createPostgresSchema() {
    const auto bootstrap = DbConnection::open(m_settings);
    m_settings.schema = uniqueSchemaName();
    DbCommand(bootstrap.get(), QStringLiteral("create schema ") + m_settings.schema).execute();
}

void TestDatabase::dropPostgresSchema() {
    m_connection.reset();
    DbSettings server = m_settings;
    server.schema.clear();
    const auto connection = DbConnection::open(server);
    DbCommand(connection.get(),
              QStringLiteral("drop schema ") + m_settings.schema + QStringLiteral(" cascade"))
        .execute();
}
