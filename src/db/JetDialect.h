#pragma once

#include "DbConnection.h"

#include <QString>

// Rewrites a statement of the console's SQL dialect into what the backend accepts:
// "delete * from" becomes "delete from", and on SQLite a keyword column qualified by an alias
// ("UR.Group") is quoted. Text inside string literals and quoted identifiers is left untouched.
QString translateJetStatement(const QString& statement, DbBackend backend);

// Whether text holds a second statement after a ';' (quotes, identifiers in double quotes and
// comments skipped). PostgreSQL would run it along with the first; such texts are refused with
// the message SQLite gives.
bool holdsSecondStatement(const QString& text);
inline const QString MultipleStatementsRefused =
    QStringLiteral("Unable to execute multiple statements at a time");
