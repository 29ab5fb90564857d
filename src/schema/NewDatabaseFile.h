#pragma once

#include "DbConnection.h"

#include <functional>
#include <memory>

// Creates the SQLite database file settings.sqlitePath, filled by fill (tables, seed), so that
// no other program ever sees it half made and nothing but this call's own files is removed on
// failure: the database is built under a temporary name beside it, readable by its owner only,
// and linked into place only if no file has appeared there meanwhile.
// Returns the connection to the new file, or nullptr when another program created the file
// first (it is left as it is; open it as an existing database). Throws DbError when the file
// cannot be made or fill fails; the temporary files are gone then.
std::unique_ptr<DbConnection> createDatabaseFile(const DbSettings& settings,
                                                 const std::function<void(DbConnection&)>& fill);
