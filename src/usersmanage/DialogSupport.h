#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <exception>
#include <utility>

class DbQuery;
class QAbstractItemView;
class QComboBox;
class QObject;
class QWidget;
class TMultilanguage;

// Entries name = id kept in the order of a drop-down box. Looked up by name, letter case
// ignored, first match wins. Names are held apart from ids, so a name containing "=" still
// finds its own entry.
class NameIdList {
public:
    void clear() { m_entries.clear(); }
    void add(const QString& name, qint32 id) { m_entries.append({name, id}); }
    int indexOfName(const QString& name) const; // -1 when absent
    qint32 valueOf(const QString& name) const;  // 0 when absent
    int indexOfValue(qint32 id) const;          // -1 when absent

private:
    QList<std::pair<QString, qint32>> m_entries;
};

// Appends to box, and in the same order to list, the trimmed nameField and the idField of
// every row of statement, run on query. Throws DbError.
void loadChoices(DbQuery& query, const QString& statement, const QString& nameField,
                 const QString& idField, QComboBox& box, NameIdList& list);

// The text of an error caught in a user action; a lock waited for in vain in the user's
// language.
QString errorText(const std::exception& e);

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
class ModuleDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModuleDialog(QWidget* parent = nullptr);
    virtual void FormShow() = 0;

protected:
    void showEvent(QShowEvent* event) override;
};
