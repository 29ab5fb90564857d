#include "uUserChose.h"

#include "DbTransaction.h"
#include "DialogSupport.h"
#include "ItemListModel.h"
#include "LogonInfo.h"
#include "UserIcons.h"
#include "ui_uUserChose.h"

#include <QTreeView>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int UserImage = 2;

ItemListModel* userList(QTreeView* view, QObject* owner) {
    const QList<QIcon> images{QIcon(), QIcon(), userIcon(true)};
    auto* model =
        new ItemListModel({TFrm_UserChose::tr("名字"), u"IP"_s, TFrm_UserChose::tr("部门")}, images,
                          owner); // owned by owner
    model->setAutoSort(true);
    view->setModel(model);
    keepSelectionVisible(view);
    return model;
}
} // namespace

TFrm_UserChose::TFrm_UserChose(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrm_UserChose>()),
      m_query(LogonInfo->Connection) {
    m_ui->setupUi(this);
    m_done = userList(m_ui->LVDone, this);
    m_unDo = userList(m_ui->LVUnDo, this);
    connect(m_ui->BtL, &QPushButton::clicked, this, &TFrm_UserChose::BtLClick);
    connect(m_ui->BtR, &QPushButton::clicked, this, &TFrm_UserChose::BtRClick);
    connect(m_ui->BtLAll, &QPushButton::clicked, this, &TFrm_UserChose::BtLAllClick);
    connect(m_ui->BtRAll, &QPushButton::clicked, this, &TFrm_UserChose::BtRAllClick);
    connect(m_ui->LVUnDo, &QAbstractItemView::doubleClicked, this, &TFrm_UserChose::BtLClick);
    connect(m_ui->LVDone, &QAbstractItemView::doubleClicked, this, &TFrm_UserChose::BtRClick);
    connect(m_ui->BtUAOK, &QPushButton::clicked, this, &TFrm_UserChose::BtUAOKClick);
    connect(m_ui->BtUACancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrm_UserChose::~TFrm_UserChose() = default;

void TFrm_UserChose::FormShow() {
    m_done->clear();
    m_unDo->clear();
    try {
        LoadUsers();
    } catch (const std::exception& e) {
        warn(u"FormShow failed: "_s + errorText(e));
    }
}

// The inner join leaves out users at the root and users of a department that is gone.
void TFrm_UserChose::LoadUsers() {
    const BusyCursor busy;
    m_query.setSql(u"select US.Name as PName,U.*  from Users U inner join UserSort US on "
                   u"U.Pid=US.Id"_s);
    m_query.open();
    const int pid = m_query.fieldIndex(u"pid"_s);
    const int uid = m_query.fieldIndex(u"uid"_s);
    const int userName = m_query.fieldIndex(u"UserName"_s);
    const int ip = m_query.fieldIndex(u"ip"_s);
    const int pName = m_query.fieldIndex(u"PName"_s);
    std::vector<ListItem> done;
    std::vector<ListItem> unDo;
    for (; !m_query.eof(); m_query.next()) {
        ListItem item;
        item.ImageIndex = UserImage;
        item.Caption = m_query.value(userName).toString();
        item.SubItems = {m_query.value(ip).toString(), m_query.value(pName).toString()};
        item.Item.Id = m_query.value(uid).toInt();
        (m_query.value(pid).toInt() == DepartId ? done : unDo).push_back(std::move(item));
    }
    m_done->appendItems(std::move(done));
    m_unDo->appendItems(std::move(unDo));
}

void TFrm_UserChose::BtLClick() {
    moveSelected(*m_ui->LVUnDo, *m_unDo, *m_done);
}

void TFrm_UserChose::BtRClick() {
    moveSelected(*m_ui->LVDone, *m_done, *m_unDo);
}

void TFrm_UserChose::BtLAllClick() {
    m_done->appendItems(m_unDo->takeAll());
}

void TFrm_UserChose::BtRAllClick() {
    m_unDo->appendItems(m_done->takeAll());
}

void TFrm_UserChose::BtUAOKClick() {
    if (m_done->rowCount() == 0)
        return;
    try {
        DepartGone = !MoveUsers();
    } catch (const std::exception& e) {
        warn(u"BtUAOKClick:"_s + errorText(e));
        return;
    }
    if (DepartGone)
        reject();
    else
        accept();
}

// Users already in the department are listed too; their Pid does not change. The ids go in
// slices, so that no statement outgrows what a database accepts however many users there are;
// every slice is written or none. False when the department is gone.
bool TFrm_UserChose::MoveUsers() {
    constexpr int Slice = 1000;
    DbTransaction whole(*m_query.connection());
    if (!departExists(m_query.connection(), DepartId))
        return false;
    DbCommand update(m_query.connection());
    for (int first = 0; first < m_done->rowCount(); first += Slice) {
        QStringList ids;
        for (int row = first; row < std::min(first + Slice, m_done->rowCount()); ++row)
            ids.append(QString::number(m_done->item(row).Item.Id));
        update.setSql(u"update Users set Pid = "_s + QString::number(DepartId) +
                      u" where Uid in ("_s + ids.join(u',') + u')');
        update.execute();
    }
    whole.commit();
    return true;
}
