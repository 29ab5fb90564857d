// One-word commands to many agents from the main window: to every selected user, or to every
// user of the selected department and its sub-departments. They run beside the window, which
// stays usable, and their results view shows each user's outcome.
#include "uUsersManage.h"

#include "BulkTargetReader.h"
#include "DbError.h"
#include "DbQuery.h"
#include "DepartTreeModel.h"
#include "DialogSupport.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "UserListModel.h"
#include "uBulkResults.h"
#include "ui_uUsersManage.h"

#include <QHash>
#include <QMenu>
#include <QPointer>

using namespace Qt::Literals::StringLiterals;

namespace {

struct BulkItem {
    const char* caption;
    const char16_t* word;
};

const BulkItem BulkItems[] = {
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "更新策略"), u"UpdatePly"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "显示托盘图标"), u"ShowCli"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "隐藏托盘图标"), u"HideCli"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "显示密文图标"), u"ShowIcon"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "隐藏密文图标"), u"HideIcon"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "暂停自动加解密"), u"StopCli"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "启动自动加解密"), u"StartCli"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "升级"), u"UpdateCli"},
    {QT_TRANSLATE_NOOP("TFrmUsersManage", "卸载客户端"), u"UninstCli"},
};

// The property holding an item's caption as written, to be translated.
constexpr char SourceText[] = "sourceText";

} // namespace

void TFrmUsersManage::ConnectBulkCommands() {
    const struct {
        QMenu** menu;
        const char* title;
        bool department;
    } scopes[] = {
        {&m_bulkSelected, QT_TR_NOOP("发给所有选中用户(&A)"), false},
        {&m_bulkDepartment, QT_TR_NOOP("发给整个部门(&W)"), true},
    };
    m_ui->PMCom->addSeparator();
    for (const auto& scope : scopes) {
        *scope.menu = m_ui->PMCom->addMenu(QString());
        (*scope.menu)->menuAction()->setProperty(SourceText, QByteArray(scope.title));
        for (const BulkItem& item : BulkItems) {
            QAction* action = (*scope.menu)->addAction(QString());
            action->setProperty(SourceText, QByteArray(item.caption));
            action->setData(QString::fromUtf16(item.word));
            connect(action, &QAction::triggered, this,
                    [this, action, department = scope.department] {
                        SendBulkCommand(action->data().toString(),
                                        action->property(SourceText).toByteArray(), department);
                    });
        }
    }
    RetranslateBulkCommands();
}

// The captions in the language in force: the menus are built here, not by the form.
void TFrmUsersManage::RetranslateBulkCommands() {
    for (QMenu* menu : {m_bulkSelected, m_bulkDepartment}) {
        if (!menu)
            return; // not built yet
        menu->setTitle(tr(menu->menuAction()->property(SourceText).toByteArray().constData()));
        for (QAction* action : menu->actions())
            action->setText(tr(action->property(SourceText).toByteArray().constData()));
    }
}

QList<BulkTarget> TFrmUsersManage::SelectedTargets() const {
    const QString department = selectedNode().data().toString();
    QList<BulkTarget> targets;
    for (int row : selectedRows()) {
        const UserRow user = m_users->row(row);
        targets.append({user.Item.Id, user.Caption, department, user.SubItems.value(1)});
    }
    return targets;
}

// The reader of the users of the selected department and of every department below it in
// the tree; of the root, every user.
std::unique_ptr<BulkTargetReader> TFrmUsersManage::DepartmentTargets() {
    const int top = m_departs->nodeOf(selectedNode());
    if (top < 0)
        return nullptr;
    const DepartTree& tree = m_departs->tree();
    QHash<qint32, QString> departments; // id -> name, of the departments addressed
    for (const int node : tree.subtree(top))
        departments.insert(tree.id(node), tree.caption(node).toString());
    return std::make_unique<BulkTargetReader>(ADOQuery1.connection(), std::move(departments),
                                              top == 0);
}

// To the selected users, or to a department's users as they are read: the results view opens
// at once. The uninstall names the count first, so its users are read before it asks.
void TFrmUsersManage::SendBulkCommand(const QString& word, const QByteArray& caption,
                                      bool department) {
    const bool uninstall = word == u"UninstCli";
    QList<BulkTarget> targets;
    std::unique_ptr<BulkTargetReader> reader;
    try {
        if (department) {
            reader = DepartmentTargets();
            if (reader && uninstall)
                targets = std::exchange(reader, nullptr)->readAll();
        } else {
            targets = SelectedTargets();
        }
    } catch (const DbError& e) {
        MyMessageBox(0, u"SendBulkCommand: "_s + e.message(), GetString(u"idinf"_s), MB_WARNING_OK);
        return;
    }
    if (targets.isEmpty() && !reader)
        return;
    const QPointer<TFrmUsersManage> self(this);
    if (uninstall &&
        (MyMessageBox(
             0, GetString(u"ClientUnInstallConfirm"_s) + u' ' + QString::number(targets.size()),
             GetString(u"idinf"_s), MB_QUESTION_YESNO) != ID_YES ||
         !self))
        return;
    auto* results = new TFrmBulkResults(std::move(targets), word, caption, ClientPort,
                                        LogonInfo->CommandConcurrency, this);
    results->setWindowFlag(Qt::Window);
    m_bulkResults = results;
    results->show();
    try {
        if (reader)
            results->readTargets(std::move(reader));
    } catch (const DbError& e) {
        warn(u"SendBulkCommand: "_s + e.message());
    }
    results->start();
}

TFrmBulkResults* TFrmUsersManage::lastBulkResults() const {
    return m_bulkResults;
}
