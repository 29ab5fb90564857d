#pragma once

#include <QLatin1String>
#include <vector>

// The tables of the management database, described once and rendered for each backend.
enum class ColumnType {
    AutoNumber, // integer key assigned by the database on insert
    Integer,
    YesNo, // integer holding -1 (yes) or 0 (no)
    Text   // compared without regard to letter case
};

struct ColumnDef {
    QLatin1String name;
    ColumnType type;
    QLatin1String defaultValue; // SQL literal; empty for none
};

struct TableDef {
    QLatin1String name;
    std::vector<ColumnDef> columns;
    std::vector<QLatin1String> primaryKey;
};

struct IndexDef {
    QLatin1String name;
    QLatin1String table;
    std::vector<QLatin1String> columns;
};

const std::vector<TableDef>& managementTables();
const std::vector<IndexDef>& managementIndexes();
