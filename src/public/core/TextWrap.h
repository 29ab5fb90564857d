#pragma once

#include "LogonInfo.h"

#include <QByteArray>

// Re-wraps a byte text of a double-byte code page into lines of ten bytes joined by CR LF.
// A line takes eleven bytes when its first ten end inside a two-byte character (an odd count
// of bytes from 0x80 up). The last piece, ten bytes or fewer, gets no line break.
KVZPUBLIC_EXPORT QByteArray ResetMemoBak(const QByteArray& text);
