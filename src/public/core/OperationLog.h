#pragma once

#include "LogonInfo.h"

#include <QString>

// Appends one row to the operation log (table LogAct) on the logon context's connection.
// Writes nothing when any field is blank (a caller leaves a field empty to skip the entry);
// the fields are stored as passed, surrounding blanks included. A failed insert is ignored:
// logging never disturbs the action being logged.
KVZPUBLIC_EXPORT void WriteLogFile(const QString& when, const QString& who, const QString& where,
                                   const QString& how, const QString& what, const QString& result);
