#pragma once

#include <QtGlobal>

// The module's classes as the tests and tools that link the module see them: imported, so that
// a pointer to a signal taken outside is the one the module compares against.
#if defined(KVZ_MODULE_LIBRARY)
#define KVZ_MODULE_EXPORT Q_DECL_EXPORT
#else
#define KVZ_MODULE_EXPORT Q_DECL_IMPORT
#endif
