#pragma once

#include "ModuleExport.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <exception>

class DbConnection;
class DbQuery;
class QAbstractItemView;
class QComboBox;
class QObject;
class QWidget;
class TMultilanguage;

// The ids of the entries of a drop-down box, in the box's order. The box's position picks the
// id: two entries may read the same (names equal once trimmed, or in letter case).
class NameIdList {
public:
    void clear() { m_ids.clear(); }
    void add(qint32 id) { m_ids.append(id); }
    qint32 valueAt(int index) const;   // 0 for no entry (-1, or past the end)
    int indexOfValue(qint32 id) const; // -1 when absent

private:
    QList<qint32> m_ids;
};

// Appends to box, and in the same order to list, the trimmed nameField and the idField of
// every row of statement, run on query. Throws DbError.
void loadChoices(DbQuery& query, const QString& statement, const QString& nameField,
                 const QString& idField, QComboBox& box, NameIdList& list);

// Whether department id exists in the database as it is now; 0, the root, always does.
// Throws DbError.
bool departExists(DbConnection* connection, qint32 id);

// The text of an error caught in a user action; a lock waited for in vain and a change refused
// by a read-only database in the user's language.
QString errorText(const std::exception& e);

// A menu or button caption as running text: without its access key ("&A", "(&A)").
QString plainCaption(const QString& caption);

// A warning with an OK button under the title of key "idinf".
void warn(const QString& text);

// text as an SQL string literal: in single quotes, each single quote inside doubled.
QString quoted(QString text);

// The host's language component every window of the module holds, owned by window.
TMultilanguage* addLanguageComponent(QObject* window);

// The selection of view stays as visible while another control has the focus.
void keepSelectionVisible(QWidget* view);

// The hourglass for the length of a scope.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The hourglass until control returns to the event loop: for a wait that has begun inside a
// call, such as a statement waiting for another program's lock.
void showBusyUntilIdle();

// A dialog of the module: dialog border, the language component, and FormShow on every show
// the program asks for (a window-system show, such as restoring it, keeps the input).
class KVZ_MODULE_EXPORT ModuleDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModuleDialog(QWidget* parent = nullptr);
    virtual void FormShow() = 0;

protected:
    void showEvent(QShowEvent* event) override;
};
