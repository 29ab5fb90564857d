#pragma once

#include "DbConnection.h"
#include "DbError.h"

#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// What a fresh test database holds besides the empty tables.
enum class Seed { None, Demo };

// Every database test runs on both backends; a PostgreSQL server that is not running fails the
// test (the ctest fixture starts one), it never skips it.
std::vector<DbBackend> testBackends();

// Parameter names for INSTANTIATE_TEST_SUITE_P(..., ::testing::ValuesIn(testBackends()),
// backendName).
std::string backendName(const ::testing::TestParamInfo<DbBackend>& info);
void PrintTo(DbBackend backend, std::ostream* os);

// Connection settings of the test run's PostgreSQL server (read from the file the server
// script writes); throws std::runtime_error when the server has not been started.
DbSettings postgresTestSettings();

// A fresh, isolated management database for one test: on SQLite a file in a temporary folder,
// on PostgreSQL a schema of its own on the test server, dropped again at the end. The tables
// exist and hold the demo site unless Seed::None is asked for.
class TestDatabase {
public:
    explicit TestDatabase(DbBackend backend, Seed seed = Seed::Demo);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    DbBackend backend() const { return m_settings.backend; }
    DbConnection* connection() { return m_connection.get(); }
    // Settings that reach this database, for a second connection (another program's view).
    const DbSettings& settings() const { return m_settings; }
    std::unique_ptr<DbConnection> openConnection() const;

    void exec(const QString& sql);       // throws DbError
    QVariant scalar(const QString& sql); // first field of the first record; throws DbError

    // Ways to make the module's statements fail on purpose.
    void dropTable(const QString& table);
    void closeConnection();

private:
    void prepare(Seed seed);
    void createPostgresSchema();
    void dropPostgresSchema();

    DbSettings m_settings;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<DbConnection> m_connection;
};

// The message of the DbError a call raises; empty when it raises none.
template <class Call> QString errorOf(Call&& call) {
    try {
        call();
    } catch (const DbError& error) {
        return error.message();
    }
    return {};
}
