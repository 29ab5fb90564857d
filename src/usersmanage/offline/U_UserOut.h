#pragma once

#include "ModuleExport.h"

#include "DbQuery.h"
#include "DialogSupport.h"
#include "OfflinePackage.h"

#include <QPointer>
#include <memory>

namespace Ui {
class TFrm_UserOut;
}
class AgentRequest;
struct AgentReply;
class InputBlocker;
class QTcpSocket;

// Grants one user a time-limited offline-use authorization: written into a package program in
// a folder, or pushed to the user's online client agent; recorded in UserOut after a
// successful delivery. Set Uid, show modally.
class KVZ_MODULE_EXPORT TFrm_UserOut final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrm_UserOut(QWidget* parent = nullptr);
    ~TFrm_UserOut() override;

    qint32 Uid = 0;
    QString UserName;
    QString HardNo;
    QString Ip;
    QString OutPath;
    QString ProgramFolder; // where OutMain.exe lies: the running program's folder

    void FormShow() override;
    bool CheckInput();
    void MakeCtrl(qint32& ctrl) const;
    void RGLogClick();
    void CBFileClick();
    void BtPathClick();
    void BtnAuthClick();
    void SkinChange();
    // The UserOut row of Uid: created when missing, else its first row changed.
    void SaveUserOut(qint32 ctrl, const QString& outTime, const QString& password);

    Ui::TFrm_UserOut* ui() const { return m_ui.get(); }
    bool isPushing() const { return m_waiting != nullptr; }

private:
    void FormCreate();
    void LoadUser();
    qint32 LoadUserOut();
    // Shows the message of key (none when empty), brings page to the front, focuses control.
    bool refuse(const QString& key, int flags, QWidget* page, QWidget* control);
    OutAuthorization authorization(qint32 ctrl) const;
    void SetOutLine(const OutAuthorization& granted);
    void Push(const OutAuthorization& granted);
    void PushConnected(const OutAuthorization& granted);
    void endProbe();
    void PushEnded(const AgentReply& reply, const OutAuthorization& granted);
    void Delivered(const OutAuthorization& granted);

    std::unique_ptr<Ui::TFrm_UserOut> m_ui;
    DbQuery ADOQuery1;
    QPointer<QTcpSocket> m_probe;
    std::unique_ptr<AgentRequest> m_request;
    std::unique_ptr<InputBlocker> m_waiting; // a push waits for the agent
};
