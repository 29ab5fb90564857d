#pragma once

#include "DbConnection.h"

#include <QString>

// Rewrites a statement of the console's SQL dialect into what the backend accepts:
// "delete * from" becomes "delete from", and on SQLite a keyword column qualified by an alias
// ("UR.Group") is quoted. Text inside string literals and quoted identifiers is left untouched.
QString translateJetStatement(const QString& statement, DbBackend backend);
