#pragma once

#include <QString>
#include <QStringList>

class DbConnection;

// The policy texts an offline authorization carries: key=value lines read from the management
// database. Every function throws DbError on a database failure; lines already appended stay.
// Ids read from the database enter statements only as whole numbers: a row whose id is null or
// any other text is passed over, and a user whose role is one gets what applies without a role.

// Appends one user's client policy: identity and keys, the user's own settings, the role's
// settings and file policies (all-files suffix lists expanded), and the screen text.
void GetPly(DbConnection* connection, qint32 uid, QStringList& lines);

// Appends the mail policy of one user: "ply=" lines of the categories that apply, each with its
// subtree, then the "mil=" addresses of every listed category. lines must be empty.
void GetMailPly(DbConnection* connection, const QString& uid, QStringList& lines);

// The parent of a mail category; 0 when the category does not exist.
qint32 getPid(DbConnection* connection, qint32 id);

// True when b is a proper ancestor of a. A broken tree ends the walk: a missing parent counts
// as the top, a cycle as no ancestor.
bool IsMySonPly(DbConnection* connection, qint32 a, qint32 b);

// The items of a list whose items each end with separator; a last item without one is kept.
// Empty items are dropped.
QStringList listItems(const QString& text, QChar separator);

// Trims characters 0 to 32 at both ends, as the policy files are trimmed before enciphering.
QString trimControls(const QString& text);
