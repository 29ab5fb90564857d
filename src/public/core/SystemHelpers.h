#pragma once

// The shared unit's system helpers with Qt types: version text, special folders, the dotted
// address check and the published-property test. The Qt-free part is OsHelpers.h.

#include "OsHelpers.h"

#include <QString>

class QObject;

// "product (version: v) sp": the registry's texts on Windows, /etc/os-release on Linux.
QString GetWindowsVersion();

// The folder's path; on Linux the desktop's standard folder where one corresponds, empty
// otherwise (and wherever the system cannot resolve the folder).
QString GetSpecialFolder(TSpecialFolder folder);

bool IsValidIP(const QString& text);
bool IsDottedQuad(const QString& text);

// True when the object's class (inherited classes included) has a property of that name,
// letter case ignored. Signals are not properties; no object has none.
bool FindProperty(const QObject* object, const QString& name);
