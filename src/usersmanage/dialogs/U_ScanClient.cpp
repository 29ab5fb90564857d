#include "U_ScanClient.h"

#include "DbTransaction.h"
#include "DialogSupport.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "OperationLog.h"
#include "SlicedRead.h"
#include "UserChoiceList.h"
#include "UserIcons.h"
#include "ui_U_ScanClient.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QHeaderView>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int UidColumn = 3;
constexpr int IpColumn = 1;

// Per scan option: the key of the description text and the key of the log text.
const char16_t* const DescriptionKeys[] = {u"EnFiles", u"DeOtherFiles", u"DeAllFiles"};
const char16_t* const LogKeys[] = {u"TSetEnAll", u"TSetDeOther", u"TSetDeAll"};
} // namespace

TFrm_ScanClient::TFrm_ScanClient(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrm_ScanClient>()),
      m_query(LogonInfo->Connection), m_choices(std::make_shared<UserChoices>()) {
    m_ui->setupUi(this);
    m_read = new SlicedRead(LogonInfo->Connection, this);
    connect(m_read, &SlicedRead::sliceRead, this, [this](bool last) {
        if (!m_readingDeparts) {
            m_sel->loadedSlice(last);
            m_all->loadedSlice(last);
        } else if (last) {
            m_readingDeparts = false;
            try {
                LoadUsers();
            } catch (const std::exception& e) {
                warn(errorText(e));
            }
        }
    });
    connect(m_read, &SlicedRead::failed, this, [](const QString& message) { warn(message); });
    connect(this, &QDialog::finished, m_read, &SlicedRead::cancel);
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

UserChoiceModel* TFrm_ScanClient::SetupList(QTableView* view) {
    auto* model = new UserChoiceModel(m_choices, {tr("用户名"), u"IP"_s, tr("所在部门"), u"Uid"_s},
                                      {userIcon(true), userIcon(false)}, this);
    view->setModel(model);
    keepSelectionVisible(view);
    QHeaderView* header = view->horizontalHeader();
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

// The department names first, then the users.
void TFrm_ScanClient::FormShow() {
    m_read->cancel();
    m_sel->clear();
    m_all->clear();
    m_choices->clear();
    m_departOf.clear();
    m_rootName = m_choices->addDepart(LogonInfo->RootName);
    // An entry names a user when it is the decimal text of the user's Uid.
    m_selected.clear();
    for (const QString& entry : SelectedUids) {
        bool number = false;
        const qint32 uid = entry.toInt(&number);
        if (number && QString::number(uid) == entry)
            m_selected.insert(uid, 0);
    }
    try {
        LoadDepartNames();
    } catch (const std::exception& e) {
        warn(errorText(e));
    }
}

// Every named department. A user outside them (at the root, or in a department that is gone)
// shows the root's name.
void TFrm_ScanClient::LoadDepartNames() {
    m_readingDeparts = true;
    m_read->start(u"select id,name from UserSort"_s, [this](const DbCursor&) -> SlicedRead::Record {
        return [this](const DbCursor& c) {
            const qint64 id = c.integer(0);
            if (id != 0 && !c.isNull(1))
                m_departOf.insert(id, int(m_choices->addDepart(QString::fromUtf8(c.text(1)))));
        };
    });
}

void TFrm_ScanClient::LoadUsers() {
    m_read->start(
        u"select Uid,Pid,UserName,Ip,Onlined from Users"_s,
        [this](const DbCursor& cursor) -> SlicedRead::Record {
            const UserChoices::Fields fields(cursor);
            const int onlined = SlicedRead::field(cursor, u"Onlined"_s);
            return [=, this](const DbCursor& c) {
                const int depart = m_departOf.value(c.integer(fields.pid));
                const quint32 row =
                    m_choices->add(c, fields, depart >= 0 ? quint32(depart) : m_rootName,
                                   c.integer(onlined) != 0 ? 0 : 1);
                (m_selected.contains(m_choices->uid(row)) ? m_sel : m_all)->addLoaded(row);
            };
        });
}

void TFrm_ScanClient::BtLClick() {
    moveSelected(*m_ui->LVAll, *m_all, *m_sel);
}

void TFrm_ScanClient::BtRClick() {
    moveSelected(*m_ui->LVSel, *m_sel, *m_all);
}

// Moving all takes the rows from the last to the first: they arrive in reverse order.
void TFrm_ScanClient::BtLAClick() {
    UserChoiceModel::Entries rows = m_all->takeAll();
    std::reverse(rows.begin(), rows.end());
    m_sel->appendAll(std::move(rows));
}

void TFrm_ScanClient::BtRAClick() {
    UserChoiceModel::Entries rows = m_sel->takeAll();
    std::reverse(rows.begin(), rows.end());
    m_all->appendAll(std::move(rows));
}

void TFrm_ScanClient::ColumnClick(UserChoiceModel& list, int column) {
    SortColumn = column;
    list.sortBy(SortColumn);
}

// The order is one transaction: every chosen user gets the task and its description, or none
// does. The log then records what was ordered. Targets still to be read are read first.
void TFrm_ScanClient::BtnOKClick() {
    try {
        m_read->finish();
    } catch (const std::exception& e) {
        warn(errorText(e));
        return;
    }
    if (m_sel->rowCount() == 0) {
        warn(GetString(u"TScanUserNull"_s));
        return;
    }
    const QString description = Description();
    try {
        const BusyCursor busy;
        DbTransaction transaction(*m_query.connection());
        for (int row = 0; row < m_sel->rowCount(); ++row)
            OrderScan(row, description);
        transaction.commit();
    } catch (const std::exception& e) {
        warn(errorText(e));
        return;
    }
    for (int row = 0; row < m_sel->rowCount(); ++row) {
        ScanTimes.insert(m_sel->uid(row), description);
        WriteLogFile(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s),
                     LogonInfo->AdminName, u"Server"_s, GetString(u"TScanSet"_s),
                     GetString(u"Log6"_s) + m_sel->text(row, 0) + u'(' +
                         m_sel->text(row, IpColumn) + u')' + LogPlanText(),
                     GetString(u"Log4"_s));
    }
    accept();
}

QString TFrm_ScanClient::BeginText() const {
    return m_ui->DTP->time().toString(u"HH:mm:ss"_s);
}

// The task row and the description of one user.
void TFrm_ScanClient::OrderScan(int row, const QString& description) {
    const QString uidText = m_sel->text(row, UidColumn);
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
    task.setValue(u"name"_s, m_sel->text(row, 0));
    task.setValue(u"ip"_s, m_sel->text(row, IpColumn));
    task.setValue(u"begin"_s, planned ? BeginText() : u"0"_s);
    task.setValue(u"type"_s, scanIndex());
    task.post();

    DbCommand update(m_query.connection(), u"update users set ScanTime="_s + quoted(description) +
                                               u" where uid="_s + QString::number(m_sel->uid(row)));
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
