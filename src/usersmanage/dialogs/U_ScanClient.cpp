#include "U_ScanClient.h"

#include "DbTransaction.h"
#include "DialogSupport.h"
#include "ItemListModel.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "OperationLog.h"
#include "UserIcons.h"
#include "ui_U_ScanClient.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QHeaderView>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int UidColumn = 3;
constexpr int UidSubItem = 2;

// Per scan option: the key of the description text and the key of the log text.
const char16_t* const DescriptionKeys[] = {u"EnFiles", u"DeOtherFiles", u"DeAllFiles"};
const char16_t* const LogKeys[] = {u"TSetEnAll", u"TSetDeOther", u"TSetDeAll"};
} // namespace

TFrm_ScanClient::TFrm_ScanClient(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrm_ScanClient>()),
      m_query(LogonInfo->Connection) {
    m_ui->setupUi(this);
    m_sel = SetupList(m_ui->LVSel);
    m_all = SetupList(m_ui->LVAll);
    m_scan = new QButtonGroup(this);
    m_scan->addButton(m_ui->RBScanEnAll, 0);
    m_scan->addButton(m_ui->RBScanDeOther, 1);
    m_scan->addButton(m_ui->RBScanDeAll, 2);
    m_begin = new QButtonGroup(this);
    m_begin->addButton(m_ui->RBBeginNow, 0);
    m_begin->addButton(m_ui->RBBeginPlan, 1);
    connect(m_ui->RBBeginPlan, &QRadioButton::toggled, m_ui->DTP, &QWidget::setEnabled);
    connect(m_ui->BtL, &QPushButton::clicked, this, &TFrm_ScanClient::BtLClick);
    connect(m_ui->BtR, &QPushButton::clicked, this, &TFrm_ScanClient::BtRClick);
    connect(m_ui->BtLA, &QPushButton::clicked, this, &TFrm_ScanClient::BtLAClick);
    connect(m_ui->BtRA, &QPushButton::clicked, this, &TFrm_ScanClient::BtRAClick);
    connect(m_ui->LVAll, &QAbstractItemView::doubleClicked, this, &TFrm_ScanClient::BtLClick);
    connect(m_ui->LVSel, &QAbstractItemView::doubleClicked, this, &TFrm_ScanClient::BtRClick);
    connect(m_ui->BtnOK, &QPushButton::clicked, this, &TFrm_ScanClient::BtnOKClick);
    connect(m_ui->BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrm_ScanClient::~TFrm_ScanClient() = default;

ItemListModel* TFrm_ScanClient::SetupList(QTreeView* view) {
    auto* model = new ItemListModel({tr("用户名"), u"IP"_s, tr("所在部门"), u"Uid"_s},
                                    {userIcon(true), userIcon(false)}, this);
    view->setModel(model);
    keepSelectionVisible(view);
    QHeaderView* header = view->header();
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->resizeSection(0, 90);
    header->resizeSection(1, 100);
    header->setMinimumSectionSize(1);
    header->resizeSection(UidColumn, 1); // the Uid travels with the row, out of sight
    connect(header, &QHeaderView::sectionClicked, this,
            [this, model](int column) { ColumnClick(*model, column); });
    return model;
}

int TFrm_ScanClient::scanIndex() const {
    return m_scan->checkedId();
}

int TFrm_ScanClient::beginIndex() const {
    return m_begin->checkedId();
}

void TFrm_ScanClient::FormShow() {
    m_sel->clear();
    m_all->clear();
    try {
        LoadUsers();
    } catch (const std::exception& e) {
        warn(errorText(e));
    }
}

void TFrm_ScanClient::LoadUsers() {
    const BusyCursor busy;
    const QHash<qint32, QString> departNames = DepartNames();
    const QSet<QString> selected(SelectedUids.cbegin(), SelectedUids.cend());
    m_query.setSql(u"select * from Users"_s);
    m_query.open();
    const int uid = m_query.fieldIndex(u"uid"_s);
    const int pid = m_query.fieldIndex(u"pid"_s);
    const int userName = m_query.fieldIndex(u"UserName"_s);
    const int ip = m_query.fieldIndex(u"ip"_s);
    const int onlined = m_query.fieldIndex(u"Onlined"_s);
    std::vector<ListItem> sel;
    std::vector<ListItem> all;
    for (; !m_query.eof(); m_query.next()) {
        const QString uidText = m_query.value(uid).toString();
        ListItem item;
        item.ImageIndex = m_query.value(onlined).toInt() != 0 ? 0 : 1;
        item.Caption = m_query.value(userName).toString();
        item.SubItems = {m_query.value(ip).toString(),
                         departNames.value(m_query.value(pid).toInt(), LogonInfo->RootName),
                         uidText};
        item.Item.Id = m_query.value(uid).toInt();
        (selected.contains(uidText) ? sel : all).push_back(std::move(item));
    }
    m_sel->appendItems(std::move(sel));
    m_all->appendItems(std::move(all));
}

// Every named department, read once. A user outside them (at the root, or in a department
// that is gone) shows the root's name.
QHash<qint32, QString> TFrm_ScanClient::DepartNames() {
    QHash<qint32, QString> names;
    m_query.setSql(u"select id,name from UserSort"_s);
    m_query.open();
    for (; !m_query.eof(); m_query.next()) {
        const QVariant name = m_query.value(1);
        const qint32 id = m_query.value(0).toInt();
        if (id != 0 && !name.isNull())
            names.insert(id, name.toString());
    }
    return names;
}

void TFrm_ScanClient::BtLClick() {
    moveSelected(*m_ui->LVAll, *m_all, *m_sel);
}

void TFrm_ScanClient::BtRClick() {
    moveSelected(*m_ui->LVSel, *m_sel, *m_all);
}

// Moving all takes the rows from the last to the first: they arrive in reverse order.
void TFrm_ScanClient::BtLAClick() {
    std::vector<ListItem> items = m_all->takeAll();
    std::reverse(items.begin(), items.end());
    m_sel->appendItems(std::move(items));
}

void TFrm_ScanClient::BtRAClick() {
    std::vector<ListItem> items = m_sel->takeAll();
    std::reverse(items.begin(), items.end());
    m_all->appendItems(std::move(items));
}

void TFrm_ScanClient::ColumnClick(ItemListModel& list, int column) {
    SortColumn = column;
    list.sortBy(SortColumn);
}

// The order is one transaction: every chosen user gets the task and its description, or none
// does. The log then records what was ordered.
void TFrm_ScanClient::BtnOKClick() {
    if (m_sel->rowCount() == 0) {
        warn(GetString(u"TScanUserNull"_s));
        return;
    }
    const QString description = Description();
    try {
        const BusyCursor busy;
        DbTransaction transaction(*m_query.connection());
        for (int row = 0; row < m_sel->rowCount(); ++row)
            OrderScan(m_sel->item(row), description);
        transaction.commit();
    } catch (const std::exception& e) {
        warn(errorText(e));
        return;
    }
    for (int row = 0; row < m_sel->rowCount(); ++row) {
        const ListItem& item = m_sel->item(row);
        ScanTimes.insert(item.Item.Id, description);
        WriteLogFile(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s),
                     LogonInfo->AdminName, u"Server"_s, GetString(u"TScanSet"_s),
                     GetString(u"Log6"_s) + item.Caption + u'(' + item.SubItems.value(0) + u')' +
                         LogPlanText(),
                     GetString(u"Log4"_s));
    }
    accept();
}

QString TFrm_ScanClient::BeginText() const {
    return m_ui->DTP->time().toString(u"HH:mm:ss"_s);
}

// The task row and the description of one user.
void TFrm_ScanClient::OrderScan(const ListItem& item, const QString& description) {
    const QString uidText = item.SubItems.value(UidSubItem);
    const bool planned = beginIndex() != 0;
    DbQuery task(m_query.connection());
    task.setSql(u"select * from TaskScan where Uid = "_s + QString::number(uidText.toInt()));
    task.open();
    if (task.isEmpty()) {
        task.append();
        task.setValue(u"Uid"_s, uidText.toInt());
    } else {
        task.edit();
    }
    task.setValue(u"name"_s, item.Caption);
    task.setValue(u"ip"_s, item.SubItems.value(0));
    task.setValue(u"begin"_s, planned ? BeginText() : u"0"_s);
    task.setValue(u"type"_s, scanIndex());
    task.post();

    DbCommand update(m_query.connection(), u"update users set ScanTime="_s + quoted(description) +
                                               u" where uid="_s + QString::number(item.Item.Id));
    update.execute();
}

// What Users.ScanTime shows of the order.
QString TFrm_ScanClient::Description() const {
    const QString option = GetString(QString::fromUtf16(DescriptionKeys[scanIndex()]));
    if (beginIndex() == 0)
        return GetString(u"TScan"_s) + option + GetString(u"TScanStill"_s);
    return GetString(u"TScanPlan"_s) + BeginText() + GetString(u"TScanBegin"_s) + option;
}

// The plan and option part of the log row.
QString TFrm_ScanClient::LogPlanText() const {
    const QString option = GetString(QString::fromUtf16(LogKeys[scanIndex()]));
    if (beginIndex() == 0)
        return GetString(u"TScan1"_s) + option;
    return GetString(u"TScanPlan"_s) + BeginText() + option;
}
