#pragma once

#include "DbConnection.h"

// The schema version this program writes; SchemaVersion holds the version of a database.
constexpr int currentSchemaVersion = 3;

// Brings the database up to the current version: creates the tables of a new database, applies
// the pending upgrade steps of an older one (each step in one transaction). A database newer
// than this program is refused with DbError.
void migrate(DbConnection& connection);

// Creates the management tables and indexes of a new (or older) database; same as migrate().
void createSchema(DbConnection& connection);

// The version recorded in the database; 0 when it has no SchemaVersion table.
int schemaVersion(DbConnection& connection);

// After rows were inserted with explicit AutoNumber values, moves PostgreSQL's identity
// sequences past the highest value so the next insert gets a fresh key (SQLite does it itself).
void syncAutoNumbers(DbConnection& connection);
