#include "uUserAuth.h"

#include "DbError.h"
#include "FlagSets.h"
#include "ItemListModel.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "ui_uUserAuth.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// Heights of the three bands of the dialog and the spacing around them, in pixels.
constexpr int Margin = 8;
constexpr int RightsHeight = 60;
constexpr int GroupsHeight = 260;
constexpr int ButtonRowHeight = 48;
constexpr int GroupsWidth = 390;
constexpr int DecryptLeft = 22;

bool isWholeNumber(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

ItemListModel* groupList(QTreeView* view, QObject* owner) {
    auto* model = new ItemListModel({TFrmUserAuth::tr("群组ID"), TFrmUserAuth::tr("群组名")}, {},
                                    owner); // owned by owner
    view->setModel(model);
    view->header()->resizeSection(0, 60); // room for the names beside the ids
    keepSelectionVisible(view);
    return model;
}

ListItem groupItem(const DbQuery& query) {
    ListItem item;
    item.Caption = query.asString(u"GId"_s).trimmed();
    item.SubItems = {query.asString(u"GName"_s).trimmed()};
    return item;
}
} // namespace

QList<qint32> groupIdsOf(const QString& text) {
    QList<qint32> ids;
    for (const QString& part : text.split(u'|')) {
        const QString number = part.trimmed();
        bool ok = false;
        const qint32 id = number.toInt(&ok);
        if (ok && isWholeNumber(number))
            ids.append(id);
    }
    return ids;
}

TFrmUserAuth::TFrmUserAuth(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrmUserAuth>()) {
    m_ui->setupUi(this);
    m_done = groupList(m_ui->LVDone, this);
    m_unDo = groupList(m_ui->LVUnDo, this);
    connect(m_ui->CobLevel, &QComboBox::currentIndexChanged, this, &TFrmUserAuth::CobLevelSelect);
    connect(m_ui->BtL, &QPushButton::clicked, this, &TFrmUserAuth::BtLClick);
    connect(m_ui->BtR, &QPushButton::clicked, this, &TFrmUserAuth::BtRClick);
    connect(m_ui->BtLAll, &QPushButton::clicked, this, &TFrmUserAuth::BtLAllClick);
    connect(m_ui->BtRAll, &QPushButton::clicked, this, &TFrmUserAuth::BtRAllClick);
    connect(m_ui->LVUnDo, &QAbstractItemView::doubleClicked, this, &TFrmUserAuth::BtLClick);
    connect(m_ui->LVDone, &QAbstractItemView::doubleClicked, this, &TFrmUserAuth::BtRClick);
    connect(m_ui->BtUAOK, &QPushButton::clicked, this, &TFrmUserAuth::BtUAOKClick);
    connect(m_ui->BtUACancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TFrmUserAuth::~TFrmUserAuth() = default;

// Level and groups are offered only while the system switch Sc_AUTHORITY is on.
void TFrmUserAuth::FormCreate() {
    m_query.setConnection(LogonInfo->Connection);
    qint32 ctrl = 0;
    try {
        m_query.setSql(u" select * from other where id = 1"_s);
        m_query.open();
        ctrl = m_query.isEmpty() ? 0 : m_query.asInteger(u"Ctrl"_s);
    } catch (const std::exception& e) {
        warn(u"FormCreate failed: "_s + errorText(e));
    }
    const bool authority = BT(ctrl, Sc_AUTHORITY);
    const QList<QWidget*> parts{m_ui->CBReAurh, m_ui->LblLevel, m_ui->CobLevel, m_ui->GBGroups};
    for (QWidget* part : parts)
        part->setVisible(authority);
    ApplyLayout(authority);
}

// With the groups: 390 wide, the decrypt box 22 pixels from the left. Without them: just wide
// enough for the two buttons, the decrypt box centred. OK and Cancel sit either side of the
// middle.
void TFrmUserAuth::ApplyLayout(bool groupsVisible) {
    QPushButton* ok = m_ui->BtUAOK;
    QPushButton* cancel = m_ui->BtUACancel;
    const int width = groupsVisible ? GroupsWidth : ok->width() + 60 + cancel->width() + 30;
    const int bands = groupsVisible ? RightsHeight + GroupsHeight : RightsHeight;
    m_ui->GBRights->setGeometry(Margin, Margin, width - 2 * Margin, RightsHeight - Margin);
    m_ui->GBGroups->setGeometry(Margin, RightsHeight, width - 2 * Margin, GroupsHeight - Margin);
    QCheckBox* decrypt = m_ui->CBDeCryp;
    decrypt->resize(decrypt->sizeHint());
    const int decryptLeft =
        groupsVisible ? DecryptLeft : (m_ui->GBRights->width() - decrypt->width()) / 2;
    decrypt->move(decryptLeft, decrypt->y());
    const int buttonTop = bands + (ButtonRowHeight - ok->height()) / 2;
    ok->move(width / 2 - ok->width() - 15, buttonTop);
    cancel->move(ok->x() + ok->width() + 30, buttonTop);
    setFixedSize(width, bands + ButtonRowHeight);
}

// Loading sets the level box without the level check: it would judge against the default
// level of no role yet.
void TFrmUserAuth::FormShow() {
    const QSignalBlocker blocker(m_ui->CobLevel);
    m_done->clear();
    m_unDo->clear();
    try {
        LoadLevels();
        LoadUser();
    } catch (const std::exception& e) {
        warn(u"FormShow failed: "_s + errorText(e));
    }
}

void TFrmUserAuth::LoadLevels() {
    m_ui->CobLevel->clear();
    m_levelList.clear();
    m_ui->CobLevel->addItem(QString());
    m_levelList.add(0);
    loadChoices(m_query, u"select * from EnLevel"_s, u"LName"_s, u"LId"_s, *m_ui->CobLevel,
                m_levelList);
    m_ui->CobLevel->setCurrentIndex(-1);
}

// The user's own level and groups, or the role's where the user has none.
void TFrmUserAuth::LoadUser() {
    m_query.setSql(
        u" select U.Uid,U.Auths,U.RoleId,U.ULevel,EL.LName as ULName,UR.Level as DefL, DEL.LName "
        u"as DefLName,U.Groups as UGroups,UR.Group as DefGroups from ((Users U left join EnLevel "
        u"EL on U.uLevel = EL.Lid ) left join UserRole UR on U.RoleId = UR.Rid) left join "
        u"EnLevel DEL on UR.Level = DEL.Lid where Uid = "_s +
        QString::number(Uid));
    m_query.open();
    if (m_query.isEmpty())
        return;
    const qint32 auths = m_query.asInteger(u"Auths"_s);
    m_ui->CBDeCryp->setChecked(BT(auths, UA_DECRYP));
    if (m_ui->CBReAurh->isHidden())
        return;
    m_ui->CBReAurh->setChecked(BT(auths, UA_REAURH));
    DefaultLevel = m_query.asInteger(u"DefL"_s);
    const qint32 level = m_query.asInteger(u"ULevel"_s);
    m_ui->CobLevel->setCurrentIndex(m_levelList.indexOfValue(level > 0 ? level : DefaultLevel));
    const QString userGroups = m_query.asString(u"UGroups"_s).trimmed();
    DefaultGroup = m_query.asInteger(u"DefGroups"_s);
    LoadGroups(
        groupIdsOf(userGroups.isEmpty() ? m_query.asString(u"DefGroups"_s).trimmed() : userGroups));
}

// The listed groups that exist go to LVDone, every other group to LVUnDo.
void TFrmUserAuth::LoadGroups(const QList<qint32>& ids) {
    QStringList idTexts;
    for (const qint32 id : ids)
        idTexts.append(QString::number(id));
    if (!ids.isEmpty()) {
        m_query.setSql(u" select * from EnGroup where GId in ("_s + idTexts.join(u',') + u')');
        m_query.open();
        for (; !m_query.eof(); m_query.next())
            m_done->append(groupItem(m_query));
    }
    m_query.setSql(u"select * from EnGroup"_s);
    m_query.open();
    for (; !m_query.eof(); m_query.next()) {
        if (!ids.contains(m_query.asInteger(u"GId"_s)))
            m_unDo->append(groupItem(m_query));
    }
}

// A level below the role's default (or none) is refused and the default is selected again.
void TFrmUserAuth::CobLevelSelect() {
    const int index = m_ui->CobLevel->currentIndex();
    if (index > 0 && m_levelList.valueAt(index) >= DefaultLevel)
        return;
    warn(GetString(u"LevelLowerDefault"_s));
    const QSignalBlocker blocker(m_ui->CobLevel);
    m_ui->CobLevel->setCurrentIndex(m_levelList.indexOfValue(DefaultLevel));
}

void TFrmUserAuth::BtLClick() {
    const int row = selectedRow(*m_ui->LVUnDo);
    if (row >= 0 && !m_done->hasCaption(m_unDo->item(row).Caption))
        moveItem(*m_unDo, row, *m_done);
}

void TFrmUserAuth::BtRClick() {
    const int row = selectedRow(*m_ui->LVDone);
    if (row < 0)
        return;
    if (m_done->item(row).Caption.toInt() == DefaultGroup) {
        warn(GetString(u"DefaultGroupDeleteError"_s));
        return;
    }
    moveItem(*m_done, row, *m_unDo);
}

void TFrmUserAuth::BtLAllClick() {
    std::vector<ListItem> kept;
    for (ListItem& item : m_unDo->takeAll()) {
        if (m_done->hasCaption(item.Caption))
            kept.push_back(std::move(item));
        else
            m_done->append(std::move(item));
    }
    m_unDo->appendItems(std::move(kept));
}

// Every group but the role's default one goes back.
void TFrmUserAuth::BtRAllClick() {
    std::vector<ListItem> kept;
    for (ListItem& item : m_done->takeAll()) {
        if (item.Caption.toInt() == DefaultGroup)
            kept.push_back(std::move(item));
        else
            m_unDo->append(std::move(item));
    }
    m_done->appendItems(std::move(kept));
}

void TFrmUserAuth::BtUAOKClick() {
    try {
        SaveUser();
    } catch (const std::exception& e) {
        warn(u"BtUAOKClick:"_s + errorText(e));
        return;
    }
    accept();
}

void TFrmUserAuth::SaveUser() {
    qint32 auths = 0;
    if (m_ui->CBReAurh->isChecked())
        AT(auths, UA_REAURH);
    if (m_ui->CBDeCryp->isChecked())
        AT(auths, UA_DECRYP);
    const qint32 level = m_levelList.valueAt(m_ui->CobLevel->currentIndex());
    QString groups;
    for (int row = 0; row < m_done->rowCount(); ++row)
        groups += u'|' + m_done->item(row).Caption;
    if (!groups.isEmpty())
        groups += u'|';
    m_query.setSql(u"select * from Users where Uid = "_s + QString::number(Uid));
    m_query.open();
    if (m_query.isEmpty())
        throw DbError(u"Users row "_s + QString::number(Uid) + u" not found"_s);
    m_query.edit();
    m_query.setValue(u"Auths"_s, auths);
    m_query.setValue(u"uLevel"_s, level);
    m_query.setValue(u"Groups"_s, groups);
    m_query.post();
}
