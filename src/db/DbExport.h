#pragma once

#include <QtGlobal>

// The database layer's classes as the other libraries and programs see them: imported, so that
// a pointer to a signal taken outside is the one the library compares against.
#if defined(KVZDB_LIBRARY)
#define KVZDB_EXPORT Q_DECL_EXPORT
#else
#define KVZDB_EXPORT Q_DECL_IMPORT
#endif
