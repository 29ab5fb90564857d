// Client presence in the main window: the listener's datagrams turn rows online or offline,
// and the refresh marks the selected department offline and asks every agent to announce
// itself again.
#include "uUsersManage.h"

#include "ClientPresence.h"
#include "DbQuery.h"
#include "InputBlocker.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "SystemHelpers.h"
#include "UserListModel.h"
#include "ui_uUsersManage.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray RefreshDatagram = QByteArrayLiteral("Sign=KVZSEVIN");
const QString Loopback = u"127.0.0.1"_s;

// The computer's first IPv4 address that is not a loopback one; empty without one.
QString firstLocalAddress() {
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return {};
}

} // namespace

void TFrmUsersManage::OpenPresenceListener() {
    IPWatch = firstLocalAddress;
    UDPSev = std::make_unique<PresenceListener>();
    connect(UDPSev.get(), &PresenceListener::received, this,
            [this](const QList<QByteArray>& datagrams) {
                const QPointer<TFrmUsersManage> self(this);
                for (const QByteArray& datagram : datagrams) {
                    UDPSevUDPRead(datagram);
                    if (!self)
                        return; // closed while a box was open
                }
            });
    const quint16 port = quint16(LogonInfo->ServerPort + 1);
    if (!UDPSev->open(port)) {
        std::fprintf(stderr, "presence listener on 127.0.0.1:%u: %s\n", unsigned(port),
                     qPrintable(UDPSev->errorString()));
        m_presenceDownPort = port;
        ShowAgentNotice();
    }
}

// What the administrator must know about the agents' side: a presence port held by another
// program (the online marks stay as loaded), and the addresses the last refresh missed.
void TFrmUsersManage::ShowAgentNotice() {
    QStringList notices;
    if (m_presenceDownPort != 0)
        notices << GetString(u"PresencePortBusy"_s) + QString::number(m_presenceDownPort);
    if (m_refreshMissed > 0)
        notices << GetString(u"RefreshNotSent"_s) + QString::number(m_refreshMissed);
    m_ui->LblAgents->setText(notices.join(u"  "_s));
}

void TFrmUsersManage::UDPSevUDPRead(const QByteArray& datagram) {
    const PresenceDatagram presence =
        PresenceDatagram::parse({datagram.constData(), std::size_t(datagram.size())});
    if (presence.sign != PresenceDatagram::Sign::Unknown)
        UpdateOnline(presence.userId, presence.sign == PresenceDatagram::Sign::ClientIn);
}

void TFrmUsersManage::UpdateOnline(qint32 userId, bool online) {
    if (userId == 0) {
        ReportUserIdZero();
        return;
    }
    const int row = m_users->store().find(userId);
    if (row < 0) {
        // A user the running load has not read yet gets the state when he arrives.
        if (isLoadingUsers())
            m_pendingPresence.insert(userId, online);
        return;
    }
    m_users->setOnlineAt(row, online);
    ScheduleStatusRefresh();
}

// Datagrams come in floods: the status line is rewritten once per pass of the event loop.
void TFrmUsersManage::ScheduleStatusRefresh() {
    if (m_statusRefreshDue)
        return;
    m_statusRefreshDue = true;
    QTimer::singleShot(0, this, [this] {
        m_statusRefreshDue = false;
        RefreshStatus();
    });
}

void TFrmUsersManage::ApplyPendingPresence() {
    for (auto pending = m_pendingPresence.begin(); pending != m_pendingPresence.end();) {
        const int row = m_users->store().find(pending.key());
        if (row >= 0) {
            m_users->setOnlineAt(row, pending.value());
            pending = m_pendingPresence.erase(pending);
        } else {
            ++pending;
        }
    }
    if (!isLoadingUsers())
        m_pendingPresence.clear();
}

// Any local program can send a datagram without a user: one box at a time, shown after the
// datagrams at hand are handled; those arriving while it is open are counted and reported on
// the error output.
void TFrmUsersManage::ReportUserIdZero() {
    if (m_userIdBoxOpen) {
        ++m_droppedUserIdBoxes;
        return;
    }
    m_userIdBoxOpen = true;
    QTimer::singleShot(0, this, [this] {
        const QPointer<TFrmUsersManage> self(this);
        MyMessageBox(0, u"UpdateOnline: UserId = 0"_s, GetString(u"idinf"_s), MB_WARNING_OK);
        if (!self)
            return;
        m_userIdBoxOpen = false;
        if (m_droppedUserIdBoxes > 0)
            std::fprintf(stderr, "UpdateOnline: %d more datagrams without a user not shown\n",
                         m_droppedUserIdBoxes);
        m_droppedUserIdBoxes = 0;
    });
}

void TFrmUsersManage::BtnRefreshClick() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart || m_waiting)
        return;
    m_waiting = std::make_unique<InputBlocker>();
    const QString caption = m_ui->BtnRefresh->text();
    m_ui->BtnRefresh->setEnabled(false);
    m_ui->BtnRefresh->setText(caption + u"..."_s);
    m_ui->BtnRefresh->repaint();
    QString failure;
    try {
        DbCommand reset(
            ADOQuery1.connection(),
            u"Update users set Onlined = 0 "_s +
                (*depart == 0 ? u" "_s : u" where pid = "_s + QString::number(*depart)));
        reset.execute();
        m_pendingPresence.clear();
        m_users->setAllOffline();
        m_refreshMissed = SendRefreshDatagrams(RefreshTargets());
        ShowAgentNotice();
        RefreshStatus();
    } catch (const std::exception& e) {
        failure = u"BtnRefreshClick: "_s + QString::fromUtf8(e.what());
    }
    // The agents answer within the settle time; the window waits for them without input.
    QTimer::singleShot(RefreshSettleMs, this, [this, caption, failure] {
        m_ui->BtnRefresh->setText(caption);
        m_ui->BtnRefresh->setEnabled(true);
        m_waiting.reset();
        if (!failure.isEmpty())
            MyMessageBox(0, failure, GetString(u"idinf"_s), MB_WARNING_OK);
    });
}

QStringList TFrmUsersManage::RefreshTargets() {
    const QString local = IPWatch();
    if (local.isEmpty() || local.compare(Loopback, Qt::CaseInsensitive) == 0)
        return {Loopback};
    DbQuery ips(ADOQuery1.connection());
    ips.setSql(u"Select ip from users order by ip"_s);
    ips.open();
    QStringList targets;
    targets.reserve(ips.recordCount());
    for (; !ips.eof(); ips.next()) {
        const QString ip = ips.value(0).toString().trimmed();
        if (!ip.isEmpty())
            targets.append(ip);
    }
    return targets;
}

int TFrmUsersManage::SendRefreshDatagrams(const QStringList& targets) {
    QUdpSocket socket;
    QHostAddress address;
    QString parsed;
    int missed = 0;
    for (const QString& target : targets) {
        if (target != parsed) { // the list is ordered: equal addresses come together
            parsed = target;
            address = IsDottedQuad(target) ? QHostAddress(target) : QHostAddress();
        }
        if (address.isNull() ||
            socket.writeDatagram(RefreshDatagram, address, quint16(ClientPort)) < 0)
            ++missed;
    }
    return missed;
}
