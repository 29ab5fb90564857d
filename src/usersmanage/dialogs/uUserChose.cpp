#include "uUserChose.h"

#include "DbTransaction.h"
#include "DialogSupport.h"
#include "LogonInfo.h"
#include "SlicedRead.h"
#include "UserChoiceList.h"
#include "UserIcons.h"
#include "ui_uUserChose.h"

#include <QTableView>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int UserImage = 2;

UserChoiceModel* userList(QTableView* view, std::shared_ptr<const UserChoices> rows,
                          QObject* owner) {
    const QList<QIcon> images{QIcon(), QIcon(), userIcon(true)};
    auto* model = new UserChoiceModel(
        std::move(rows), // owned by owner
        {TFrm_UserChose::tr("名字"), u"IP"_s, TFrm_UserChose::tr("部门")}, images, owner);
    model->setAutoSort(true);
    view->setModel(model);
    keepSelectionVisible(view);
    return model;
}
} // namespace

TFrm_UserChose::TFrm_UserChose(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrm_UserChose>()),
      m_query(LogonInfo->Connection), m_choices(std::make_shared<UserChoices>()) {
    m_ui->setupUi(this);
    m_done = userList(m_ui->LVDone, m_choices, this);
    m_unDo = userList(m_ui->LVUnDo, m_choices, this);
    m_read = new SlicedRead(LogonInfo->Connection, this);
    connect(m_read, &SlicedRead::sliceRead, this, [this](bool last) {
        m_done->loadedSlice(last);
        m_unDo->loadedSlice(last);
    });
    connect(m_read, &SlicedRead::failed, this,
            [](const QString& message) { warn(u"FormShow failed: "_s + message); });
    connect(this, &QDialog::finished, m_read, &SlicedRead::cancel);
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
    m_read->cancel();
    m_done->clear();
    m_unDo->clear();
    m_choices->clear();
    m_departOf.clear();
    try {
        LoadUsers();
    } catch (const std::exception& e) {
        warn(u"FormShow failed: "_s + errorText(e));
    }
}

// The inner join leaves out users at the root and users of a department that is gone.
void TFrm_UserChose::LoadUsers() {
    m_read->start(u"select US.Name as PName,U.Uid,U.Pid,U.UserName,U.Ip from Users U inner join "
                  u"UserSort US on U.Pid=US.Id"_s,
                  [this](const DbCursor& cursor) -> SlicedRead::Record {
                      const UserChoices::Fields fields(cursor);
                      const int pName = SlicedRead::field(cursor, u"PName"_s);
                      return [=, this](const DbCursor& c) {
                          const qint64 depart = c.integer(fields.pid);
                          const quint32 row =
                              m_choices->add(c, fields, departOf(depart, c, pName), UserImage);
                          (depart == DepartId ? m_done : m_unDo)->addLoaded(row);
                      };
                  });
}

// The number of a department's name, added when first read (from the field pName).
quint32 TFrm_UserChose::departOf(qint64 depart, const DbCursor& c, int pName) {
    int number = m_departOf.value(depart);
    if (number < 0) {
        number = int(m_choices->addDepart(QString::fromUtf8(c.text(pName))));
        m_departOf.insert(depart, number);
    }
    return quint32(number);
}

void TFrm_UserChose::BtLClick() {
    moveSelected(*m_ui->LVUnDo, *m_unDo, *m_done);
}

void TFrm_UserChose::BtRClick() {
    moveSelected(*m_ui->LVDone, *m_done, *m_unDo);
}

void TFrm_UserChose::BtLAllClick() {
    m_done->appendAll(m_unDo->takeAll());
}

void TFrm_UserChose::BtRAllClick() {
    m_unDo->appendAll(m_done->takeAll());
}

void TFrm_UserChose::BtUAOKClick() {
    m_done->publish();
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
            ids.append(QString::number(m_done->uid(row)));
        update.setSql(u"update Users set Pid = "_s + QString::number(DepartId) +
                      u" where Uid in ("_s + ids.join(u',') + u')');
        update.execute();
    }
    whole.commit();
    return true;
}
