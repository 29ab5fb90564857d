#pragma once

#include "ModuleExport.h"

#include "DbQuery.h"
#include "DialogSupport.h"

#include <QList>
#include <memory>

namespace Ui {
class TFrmUserAuth;
}
class ItemListModel;

// The group ids of a Users.Groups or UserRole.Group text ("|1|3|"): the whole numbers between
// the bars, in order. Anything else in the text is ignored.
QList<qint32> groupIdsOf(const QString& text);

// A user's rights on encrypted files, own security level and own encryption groups, checked
// against the defaults of the user's role: the level may not fall below the role's level and
// the role's group may not be removed. Level and groups are offered only while the system
// switch Sc_AUTHORITY is on. Set Uid, show modally; on OK Auths, uLevel and Groups are written.
class KVZ_MODULE_EXPORT TFrmUserAuth final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrmUserAuth(QWidget* parent = nullptr);
    ~TFrmUserAuth() override;

    qint32 Uid = 0;
    qint32 DefaultLevel = 0;
    qint32 DefaultGroup = 0;

    void FormShow() override;
    void CobLevelSelect();
    void BtLClick();
    void BtRClick();
    void BtLAllClick();
    void BtRAllClick();
    void BtUAOKClick();

    Ui::TFrmUserAuth* ui() const { return m_ui.get(); }
    ItemListModel* done() const { return m_done; }
    ItemListModel* unDo() const { return m_unDo; }

private:
    void FormCreate();
    void ApplyLayout(bool groupsVisible);
    void LoadLevels();
    void LoadUser();
    void LoadGroups(const QList<qint32>& ids);
    void SaveUser();

    std::unique_ptr<Ui::TFrmUserAuth> m_ui;
    DbQuery m_query;
    NameIdList m_levelList;
    ItemListModel* m_done = nullptr;
    ItemListModel* m_unDo = nullptr;
};
