// Remote commands of the main window: one-word commands sent to the client agent of the first
// selected user as an HTTP GET whose path is the enciphered query; the agent's reply "OK"
// confirms them. The window waits for the reply without taking input, for a bounded time;
// Esc gives up waiting, and the command counts as not confirmed.
#include "uUsersManage.h"

#include "AgentRequest.h"
#include "BulkAudit.h"
#include "BulkCommand.h"
#include "ClientCommand.h"
#include "InputBlocker.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "UserListModel.h"
#include "ui_uUsersManage.h"

#include <QPointer>

using namespace Qt::Literals::StringLiterals;

namespace {

struct ClientCommand {
    QAction* Ui::TFrmUsersManage::*item;
    const char16_t* word;
    const char16_t* successKey;
    const char16_t* failureKey;
    bool confirm; // the uninstall asks first
};

using Form = Ui::TFrmUsersManage;
const ClientCommand ClientCommands[] = {
    {&Form::L1, u"UpdatePly", u"PlyUpdateSended", u"PlyUpdateFailed", false},
    {&Form::N4, u"ShowCli", u"IconShowSended", u"IconShowFailed", false},
    {&Form::N5, u"HideCli", u"IconhideSended", u"IconHideFailed", false},
    {&Form::S1, u"ShowIcon", u"EnIconShowSended", u"EnIconShowFailed", false},
    {&Form::H1, u"HideIcon", u"EnIconHideSended", u"EnIconHideFailed", false},
    {&Form::P1, u"StopCli", u"ClientAutoEnPauseSended", u"ClientAutoEnPauseFailed", false},
    {&Form::S2, u"StartCli", u"ClientAutoEnSended", u"ClientAutoEnFailed", false},
    {&Form::N7, u"UpdateCli", u"ClientAutoUpdateSended", u"ClientAutoUpdateFailed", false},
    {&Form::MenuItem3, u"UninstCli", u"ClientUnInstallSended", u"ClientUnInstallFailed", true},
};

void inform(const QString& text) {
    MyMessageBox(0, text, GetString(u"idinf"_s), MB_INFORMATION_OK);
}

} // namespace

void TFrmUsersManage::ConnectCommandHandlers() {
    for (const ClientCommand& command : ClientCommands) {
        connect(m_ui.get()->*command.item, &QAction::triggered, this, [this, &command] {
            SendClientCommand(QString::fromUtf16(command.word),
                              QString::fromUtf16(command.successKey),
                              QString::fromUtf16(command.failureKey), command.confirm);
        });
    }
    ConnectBulkCommands();
}

void TFrmUsersManage::SendClientCommand(const QString& word, const QString& successKey,
                                        const QString& failureKey, bool confirm) {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || m_command)
        return;
    const UserRow user = m_users->row(rows.first());
    const QString address = user.SubItems.value(1);
    if (!AgentHost(address)) { // empty, or not an address a request may carry
        auditCommand(address, word, user.Caption, bulkOutcomeWord(BulkOutcome::NoAddress));
        inform(GetString(u"IPNull"_s));
        return;
    }
    const QPointer<TFrmUsersManage> self(this);
    if (confirm && (MyMessageBox(0, GetString(u"ClientUnInstallConfirm"_s), GetString(u"idinf"_s),
                                 MB_QUESTION_YESNO) != ID_YES ||
                    !self))
        return;
    m_command = std::make_unique<AgentRequest>();
    m_waiting = std::make_unique<InputBlocker>([self] {
        if (self && self->m_command)
            self->m_command->cancel();
    });
    connect(m_command.get(), &AgentRequest::finished, this,
            [this, word, successKey, failureKey, address,
             name = user.Caption](const AgentReply& reply) {
                m_command.release()->deleteLater();
                m_waiting.reset();
                auditCommand(address, word, name, bulkOutcomeWord(bulkResultOf(reply)));
                inform(reply.confirmed() ? GetString(successKey)
                       : reply.outcome == AgentOutcome::NoAddress
                           ? GetString(u"IPNull"_s)
                           : GetString(failureKey) + u',' + GetString(u"NetCheck"_s));
            });
    m_command->start(address, ClientPort, u"aFlag="_s + word, AgentBounds::fromLogonInfo());
}

bool TFrmUsersManage::isWaitingForAgents() const {
    return m_waiting != nullptr;
}
