#pragma once

#include <QtGlobal>

#if defined(MULTILANG_LIBRARY)
#define MULTILANG_EXPORT Q_DECL_EXPORT
#else
#define MULTILANG_EXPORT Q_DECL_IMPORT
#endif
