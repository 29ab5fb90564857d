#include "U_UserOut.h"

#include "AgentRequest.h"
#include "ClientCommand.h"
#include "IniFile.h"
#include "InputBlocker.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "ModalHook.h"
#include "Multilanguage.h"
#include "OperationLog.h"
#include "StringCipher.h"
#include "ui_U_UserOut.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int DefaultDays = 7;
constexpr int QuietDays = 90;
constexpr int MaxDays = 365;

int itemOf(const QRadioButton* second) {
    return second->isChecked() ? 1 : 0;
}

void setItem(QRadioButton* first, QRadioButton* second, bool on) {
    (on ? second : first)->setChecked(true);
}

// A stored expiry: four digits of year, "-", month, "-", day.
QDate parseOutDate(QString text) {
    bool yearOk = false;
    const int year = text.left(4).toInt(&yearOk);
    text.remove(0, 5);
    const qsizetype dash = text.indexOf(u'-');
    bool monthOk = false;
    bool dayOk = false;
    const int month = text.left(dash).toInt(&monthOk);
    const int day = text.mid(dash + 1).toInt(&dayOk);
    const QDate date(year, month, day);
    if (!yearOk || dash < 0 || !monthOk || !dayOk || !date.isValid())
        throw EConvertError("'" + text.toStdString() + "' is not a valid date");
    return date;
}

} // namespace

TFrm_UserOut::TFrm_UserOut(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrm_UserOut>()) {
    m_ui->setupUi(this);
    for (QRadioButton* item : {m_ui->RGLog1, m_ui->RGCtrlT1})
        connect(item, &QRadioButton::toggled, this, &TFrm_UserOut::RGLogClick);
    connect(m_ui->CBFile, &QCheckBox::toggled, this, &TFrm_UserOut::CBFileClick);
    connect(m_ui->BtPath, &QToolButton::clicked, this, &TFrm_UserOut::BtPathClick);
    connect(m_ui->BtnAuth, &QPushButton::clicked, this, &TFrm_UserOut::BtnAuthClick);
    connect(m_ui->BtnQuit, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TFrm_UserOut::~TFrm_UserOut() = default;

void TFrm_UserOut::FormCreate() {
    ADOQuery1.setConnection(LogonInfo->Connection);
    OutPath = LogonInfo->OutDir;
    m_ui->EdPath->setText(OutPath);
    m_ui->DTP->setDate(QDate::currentDate().addDays(DefaultDays));
    ProgramFolder = QCoreApplication::applicationDirPath();
}

void TFrm_UserOut::FormShow() {
    try {
        LoadUser();
        const qint32 ctrl = LoadUserOut();
        setItem(m_ui->RGOut0, m_ui->RGOut1, ctrl & 16);
        setItem(m_ui->RGLog0, m_ui->RGLog1, ctrl & 32);
        setItem(m_ui->RGCtrlT0, m_ui->RGCtrlT1, ctrl & 64);
        setItem(m_ui->RGCtrlR0, m_ui->RGCtrlR1, ctrl & 128);
        RGLogClick();
        m_ui->PageCtrl->setCurrentWidget(m_ui->TSInf);
        m_ui->PageCtrl->setTabText(0, GetString(u"OutPageCtrl1"_s));
        m_ui->PageCtrl->setTabText(1, GetString(u"OutPageCtrl2"_s));
        m_ui->PageCtrl->setTabText(2, GetString(u"OutPageCtrl3"_s));
        SkinChange();
    } catch (const std::exception& e) {
        warn(u"FormShow: "_s + errorText(e));
    }
}

void TFrm_UserOut::LoadUser() {
    ADOQuery1.setSql(u"Select * from Users where Uid = "_s + QString::number(Uid));
    ADOQuery1.open();
    const bool found = !ADOQuery1.isEmpty();
    UserName = found ? ADOQuery1.asString(u"UserName"_s).trimmed() : QString();
    Ip = found ? ADOQuery1.asString(u"Ip"_s).trimmed() : QString();
    HardNo = found ? ADOQuery1.asString(u"HardNo"_s).trimmed() : QString();
}

// The stored authorization's date and password; returns its control word, 0 without one.
qint32 TFrm_UserOut::LoadUserOut() {
    ADOQuery1.setSql(u"select * from UserOut where uid="_s + QString::number(Uid));
    ADOQuery1.open();
    if (ADOQuery1.isEmpty())
        return 0;
    const QString outDate = ADOQuery1.asString(u"outdate"_s);
    m_ui->DTP->setDate(outDate.isEmpty() ? QDate::currentDate().addDays(DefaultDays)
                                         : parseOutDate(outDate));
    m_ui->EdPass->setText(ADOQuery1.asString(u"pass"_s));
    return ADOQuery1.asInteger(u"ctrl"_s);
}

void TFrm_UserOut::RGLogClick() {
    const bool controlled = m_ui->RGLog1->isChecked();
    m_ui->RGCtrlT->setVisible(controlled);
    m_ui->RGCtrlR->setVisible(controlled);
    const bool password = controlled && m_ui->RGCtrlT0->isChecked();
    m_ui->Lblpw->setVisible(password);
    m_ui->EdPass->setVisible(password);
}

void TFrm_UserOut::CBFileClick() {
    const bool file = m_ui->CBFile->isChecked();
    for (QWidget* part : {static_cast<QWidget*>(m_ui->LblPath), static_cast<QWidget*>(m_ui->EdPath),
                          static_cast<QWidget*>(m_ui->BtPath)})
        part->setVisible(file);
}

void TFrm_UserOut::BtPathClick() {
    QFileDialog chooser(this);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setDirectory(m_ui->EdPath->text());
    const QPointer<TFrm_UserOut> self(this);
    if (execModal(chooser) == QDialog::Accepted && self && !chooser.selectedFiles().isEmpty())
        m_ui->EdPath->setText(QDir::toNativeSeparators(chooser.selectedFiles().first()));
}

bool TFrm_UserOut::refuse(const QString& key, int flags, QWidget* page, QWidget* control) {
    if (!key.isEmpty())
        ShowMessage(key, flags);
    if (page)
        m_ui->PageCtrl->setCurrentWidget(page);
    if (control)
        control->setFocus();
    return false;
}

// The expiry counts in whole days: it may be today, and the client is authorized up to it.
bool TFrm_UserOut::CheckInput() {
    const QDate today = QDate::currentDate();
    const QDate expiry = m_ui->DTP->date();
    if (expiry < today)
        return refuse(u"seldate"_s, MB_WARNING_OK, nullptr, nullptr);
    const qint64 days = today.daysTo(expiry);
    if (days > QuietDays && ShowMessage(u"maxdate"_s, MB_QUESTION_YESNO) != ID_YES)
        return refuse(QString(), 0, m_ui->TSInf, m_ui->DTP); // the question was the message
    if (days > MaxDays)
        return refuse(u"maxdate1"_s, MB_WARNING_OK, m_ui->TSInf, m_ui->DTP);
    if (m_ui->RGLog1->isChecked() && m_ui->RGCtrlT0->isChecked() &&
        m_ui->EdPass->text().trimmed().isEmpty())
        return refuse(u"noCtrlKey"_s, MB_INFORMATION_OK, m_ui->TSCtrl, m_ui->EdPass);
    if (m_ui->CBFile->isChecked() && m_ui->EdPath->text().trimmed().isEmpty())
        return refuse(u"nopath"_s, MB_INFORMATION_OK, m_ui->TSFile, m_ui->EdPath);
    if (m_ui->EdPath->text() != OutPath) {
        OutPath = m_ui->EdPath->text();
        if (!LogonInfo->IniFileName.isEmpty())
            writeIniString(LogonInfo->IniFileName, u"option"_s, u"Path"_s, OutPath,
                           LogonInfo->CodePage);
    }
    return true;
}

void TFrm_UserOut::MakeCtrl(qint32& ctrl) const {
    ctrl = 16 * itemOf(m_ui->RGOut1) + 32 * itemOf(m_ui->RGLog1) + 64 * itemOf(m_ui->RGCtrlT1) +
           128 * itemOf(m_ui->RGCtrlR1);
}

void TFrm_UserOut::SkinChange() {
    const qint32 color = LogonInfo->Skin.Color; // 0x00BBGGRR; 0 leaves the default look
    if (color == 0)
        return;
    QPalette palette = m_ui->PageCtrl->palette();
    const QColor theme(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
        palette.setColor(role, theme);
    m_ui->PageCtrl->setPalette(palette);
    for (QWidget* page : {m_ui->TSInf, m_ui->TSCtrl, m_ui->TSFile})
        page->setAutoFillBackground(true);
}

OutAuthorization TFrm_UserOut::authorization(qint32 ctrl) const {
    return {HardNo, dateText(QDate::currentDate()), dateText(m_ui->DTP->date()), ctrl,
            m_ui->EdPass->text()};
}

void TFrm_UserOut::BtnAuthClick() {
    if (m_waiting || !CheckInput())
        return;
    qint32 ctrl = 0;
    MakeCtrl(ctrl);
    const OutAuthorization granted = authorization(ctrl);
    if (m_ui->CBFile->isChecked())
        SetOutLine(granted);
    else
        Push(granted);
}

void TFrm_UserOut::SetOutLine(const OutAuthorization& granted) {
    try {
        {
            const BusyCursor busy;
            ::SetOutLine({ADOQuery1.connection(), Uid, UserName, m_ui->EdPath->text(),
                          QDir(ProgramFolder).filePath(u"OutMain.exe"_s), granted});
        }
        Delivered(granted);
    } catch (const std::exception& e) {
        warn(errorText(e));
    }
}

// The agent is first reached by a connection of its own, then sent the command; both waits are
// bounded, and the dialog takes no input meanwhile but Esc, which gives up waiting. An address
// that is not a plain dotted quad is not reached at all.
void TFrm_UserOut::Push(const OutAuthorization& granted) {
    m_waiting = std::make_unique<InputBlocker>([self = QPointer(this)] {
        if (self)
            self->PushEnded({}, {});
    });
    const std::optional<QString> host = AgentHost(Ip);
    if (!host) {
        QTimer::singleShot(0, this, [this] { PushEnded({}, {}); });
        return;
    }
    m_probe = new QTcpSocket(this); // owned by the dialog, freed when the probe ends
    QTimer::singleShot(AgentBounds::fromLogonInfo().connectMs, m_probe,
                       [this] { PushEnded({}, {}); });
    connect(m_probe, &QTcpSocket::connected, this, [this, granted] { PushConnected(granted); });
    connect(m_probe, &QTcpSocket::errorOccurred, this, [this] { PushEnded({}, {}); });
    m_probe->setProxy(QNetworkProxy::NoProxy);
    m_probe->connectToHost(*host, quint16(LogonInfo->ClientPort));
}

void TFrm_UserOut::PushConnected(const OutAuthorization& granted) {
    endProbe();
    QString query = u"aFlag=SetOutFile\r\n"_s;
    for (const QString& line : authorizationLines(granted))
        query += line + u"\r\n"_s;
    m_request = std::make_unique<AgentRequest>();
    connect(m_request.get(), &AgentRequest::finished, this,
            [this, granted](const AgentReply& reply) { PushEnded(reply, granted); });
    m_request->start(Ip, LogonInfo->ClientPort, query, AgentBounds::fromLogonInfo());
}

void TFrm_UserOut::endProbe() {
    if (!m_probe)
        return;
    m_probe->disconnect(this);
    m_probe->abort();
    m_probe->deleteLater();
    m_probe = nullptr;
}

// The reply's text is not looked at: any completed request delivered the authorization. A
// redirect, an error status, a time-out or giving up did not.
void TFrm_UserOut::PushEnded(const AgentReply& reply, const OutAuthorization& granted) {
    if (!m_waiting)
        return; // the probe's time-out after its error, or the other way round
    endProbe();
    if (m_request)
        m_request.release()->deleteLater(); // may be the sender
    m_waiting.reset();
    if (!reply.completed()) {
        ShowMessage(u"outline"_s, MB_WARNING_OK);
        return;
    }
    WriteLogFile(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s),
                 LogonInfo->AdminName, reply.host, GetString(u"setpass"_s), granted.password,
                 u"OK"_s);
    try {
        Delivered(granted);
    } catch (const std::exception& e) {
        warn(errorText(e));
    }
}

void TFrm_UserOut::Delivered(const OutAuthorization& granted) {
    SaveUserOut(granted.ctrl, granted.outTime, granted.password);
    ShowMessage(u"saveout"_s, MB_INFORMATION_OK);
}

void TFrm_UserOut::SaveUserOut(qint32 ctrl, const QString& outTime, const QString& password) {
    ADOQuery1.close();
    WriteUserOut(ADOQuery1.connection(), Uid, {HardNo, {}, outTime, ctrl, password});
}
