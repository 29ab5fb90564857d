#pragma once

#include "DbQuery.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <memory>
#include <utility>

namespace Ui {
class TFrmUserInfo;
}

// Entries name = id kept in the order of a drop-down box. Looked up by name, letter case
// ignored, first match wins. Names are held apart from ids, so a name containing "=" still
// finds its own entry.
class NameIdList {
public:
    void clear() { m_entries.clear(); }
    void add(const QString& name, qint32 id) { m_entries.append({name, id}); }
    int indexOfName(const QString& name) const; // -1 when absent
    qint32 valueOf(const QString& name) const;  // 0 when absent

private:
    QList<std::pair<QString, qint32>> m_entries;
};

// Properties of one client user: name, department, role, password and USB key number.
// Uid 0 creates a user in DepartId; any other Uid edits that user. On OK the Users row has
// been written; on Cancel nothing has.
class TFrmUserInfo final : public QDialog {
    Q_OBJECT
public:
    explicit TFrmUserInfo(QWidget* parent = nullptr);
    ~TFrmUserInfo() override;

    qint32 Uid = 0;
    qint32 DepartId = 0;

    void FormShow();
    void BtOkClick();

    Ui::TFrmUserInfo* ui() const { return m_ui.get(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadChoices(const QString& statement, const QString& nameField, const QString& idField,
                     class QComboBox& box, NameIdList& list);
    void SelectDepartAndRole();
    void LoadUser();
    void PresetDepart();
    bool CheckInput();
    void UpdateOfUsers();
    void warn(const QString& text);

    std::unique_ptr<Ui::TFrmUserInfo> m_ui;
    DbQuery m_query;
    NameIdList m_departList;
    NameIdList m_roleList;
};
