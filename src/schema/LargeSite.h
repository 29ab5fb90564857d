#pragma once

#include "DbConnection.h"

#include <QtGlobal>
#include <functional>

// Fills a database that createSchema() prepared and that holds no rows yet with a large site:
// the shared reference data (roles, levels, groups, policies, settings), `departments`
// departments in a tree up to six levels deep with unique names, and `users` users spread over
// them (a few at the root). The same seed gives the same site. Runs in one transaction.
// progress, when given, hears the rows written so far and the rows to write.
using SiteProgress = std::function<void(qint64 done, qint64 total)>;
void generateLargeSite(DbConnection& connection, int users, int departments, quint32 seed,
                       const SiteProgress& progress = {});
