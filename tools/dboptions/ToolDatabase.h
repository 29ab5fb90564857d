#pragma once

#include "DbConnection.h"

#include <QCommandLineParser>
#include <QString>
#include <optional>

// The database options every tool takes, spelled as the console spells them: --sqlite FILE, or
// --pg HOST:PORT/DB with --pg-user, --pg-password, --pg-schema and --pg-sslmode. The short
// names --user, --password and --schema stay for older scripts.
void addToolDatabaseOptions(QCommandLineParser& parser);

// Whether the SQLite file must exist already: SQLite would quietly create an empty one.
enum class SqliteFile { MustExist, MayBeCreated };

// Reads those options of a parsed command line into settings; on a mistake returns it in one
// line.
std::optional<QString> readToolDatabase(const QCommandLineParser& parser, SqliteFile file,
                                        DbSettings& settings);
