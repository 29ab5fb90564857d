#pragma once

#include <sqlite3.h>

// Makes text comparisons of an SQLite session ignore the case of every letter, as PostgreSQL's
// citext does: the NOCASE collation of the text columns and the like() function fold Unicode
// letters on this session (SQLite's own fold only A to Z). The file itself is unchanged, so any
// other SQLite program reads it with SQLite's own rules.
void installLetterCaseFolding(sqlite3* handle);
