#pragma once

#include "DbConnection.h"

#include <QtGlobal>

// Fills a database that createSchema() prepared and that holds no rows yet with a large site:
// the shared reference data (roles, levels, groups, policies, settings), `departments`
// departments in a tree up to six levels deep with unique names, and `users` users spread over
// them (a few at the root). The same seed gives the same site. Runs in one transaction.
void generateLargeSite(DbConnection& connection, int users, int departments, quint32 seed);
