#pragma once

#include "DbConnection.h"

// Creates the triggers behind the change signals of DbChangeWatcher: on SQLite a one-row
// serial table that every insert, delete or covered update of the departments, the users and
// the roles bumps; on PostgreSQL one notification per statement, naming the schema of the
// table (the channel is shared by every schema of the database). Can be run again.
void createChangeTriggers(DbConnection& connection);
