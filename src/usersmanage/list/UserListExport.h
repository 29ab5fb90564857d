#pragma once

#include <QIODevice>

class QAbstractItemModel;
class UserListModel;

// Writes the rows the list shows, with its column captions first, as CSV that spreadsheet
// programs open as it is: UTF-8 with a byte-order mark, fields quoted where they need it, and
// a text that a spreadsheet would take for a formula kept as text. False when out cannot be
// written.
bool writeUserListCsv(const UserListModel& users, QIODevice& out);

// The same for any table model: its captions, then its rows as shown.
bool writeModelCsv(const QAbstractItemModel& model, QIODevice& out);
