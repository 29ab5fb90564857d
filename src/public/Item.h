#pragma once

#include <QString>
#include <QtGlobal>

// Identity attached to every department node and user row.
struct TItem {
    qint32 Id = 0; // UserSort.id (0 = root) or Users.Uid
    bool IsDepart = false;
    QString HardNo; // Users.HardNo, user rows only
};
