#include "OfflineFixture.h"

#include "ClientCommand.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "StandIn.h"
#include "StringCipher.h"
#include "U_UserOut.h"
#include "ui_U_UserOut.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {
// A client agent that records the deciphered query of every request and answers answer.
class FakeAgent : public QObject {
public:
    explicit FakeAgent(QByteArray answer) {
        server.listen(QHostAddress(u"127.0.0.1"_s));
        connect(&server, &QTcpServer::newConnection, this, [this, answer] {
            QTcpSocket* socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, answer] {
                const QByteArray line = socket->readLine();
                if (!line.startsWith("GET /"))
                    return;
                queries.append(
                    QString::fromUtf8(En(line.mid(5).split(' ').first(), "qmtrb", false)));
                socket->write("HTTP/1.0 200 OK\r\nContent-Length: " +
                              QByteArray::number(answer.size()) + "\r\n\r\n" + answer);
                socket->disconnectFromHost();
            });
        });
    }
    QTcpServer server;
    QStringList queries;
};

qint32 checkedCtrl(const Ui::TFrm_UserOut& ui) {
    return 16 * ui.RGOut1->isChecked() + 32 * ui.RGLog1->isChecked() +
           64 * ui.RGCtrlT1->isChecked() + 128 * ui.RGCtrlR1->isChecked();
}
} // namespace

class OfflineDialogTest : public OfflineTest {
protected:
    static std::unique_ptr<TFrm_UserOut> dialogOf(qint32 uid) {
        return shown<TFrm_UserOut>([uid](TFrm_UserOut& d) { d.Uid = uid; });
    }
    QTemporaryDir folder;
};

TEST_P(OfflineDialogTest, ShowsTheStoredAuthorization) {
    insert(u"UserOut (uid, ctrl, outdate, pass)"_s,
           u"(1, 48, '2026-12-31', 'p1'), (2, 224, '2026-3-7', ''), (3, 32, '', 'p3'), "
           u"(4, 0, '20x6-1-1', 'bad')"_s);
    const struct {
        qint32 uid;
        QDate date;
        qint32 ctrl;
        QString pass;
        bool methods, password; // visible
    } cases[] = {
        {Org::Alice, {2026, 12, 31}, 48, u"p1"_s, true, true},
        {Org::Bob, {2026, 3, 7}, 224, u""_s, true, false},
        {Org::Carol, QDate::currentDate().addDays(7), 32, u"p3"_s, true, true},
        {Org::Erin, QDate::currentDate().addDays(7), 0, u""_s, false, false},
    };
    for (const auto& c : cases) {
        const auto dialog = dialogOf(c.uid);
        const Ui::TFrm_UserOut& ui = *dialog->ui();
        EXPECT_EQ(ui.DTP->date(), c.date) << c.uid;
        EXPECT_EQ(checkedCtrl(ui), c.ctrl) << c.uid;
        EXPECT_EQ(ui.EdPass->text(), c.pass) << c.uid;
        EXPECT_EQ(!ui.RGCtrlR->isHidden(), c.methods) << c.uid;
        EXPECT_EQ(!ui.EdPass->isHidden(), c.password) << c.uid;
        EXPECT_TRUE(ui.EdPath->isHidden());
        qint32 ctrl = -1;
        dialog->MakeCtrl(ctrl);
        EXPECT_EQ(ctrl, c.ctrl);
    }
    script.answerMessage(QMessageBox::Ok);
    const auto bad = dialogOf(Org::Dave);
    ASSERT_EQ(script.messages().size(), 1);
    EXPECT_TRUE(script.messages()[0].startsWith(u"FormShow: "_s));
}

TEST_P(OfflineDialogTest, CheckInputStepsInOrder) {
    using B = QMessageBox;
    const struct {
        int days;
        const char* on; // l: log, k: USB key, f: file
        QString pass, path;
        QList<std::pair<QString, B::StandardButton>> asked; // message key, answer
        bool passes;
        int page;
    } cases[] = {
        {-1, "lf", {}, {}, {{u"seldate"_s, B::Ok}}, false, 0},
        {0, "", {}, u"x"_s, {}, true, 0},
        {90, "", {}, u"x"_s, {}, true, 0},
        {91, "", {}, u"x"_s, {{u"maxdate"_s, B::No}}, false, 0},
        {365, "", {}, u"x"_s, {{u"maxdate"_s, B::Yes}}, true, 0},
        {366, "", {}, u"x"_s, {{u"maxdate"_s, B::Yes}, {u"maxdate1"_s, B::Ok}}, false, 0},
        {5, "l", u"  "_s, u"x"_s, {{u"noCtrlKey"_s, B::Ok}}, false, 1},
        {5, "lk", {}, u"x"_s, {}, true, 0},
        {5, "f", {}, u" "_s, {{u"nopath"_s, B::Ok}}, false, 2},
    };
    for (const auto& c : cases) {
        const auto dialog = dialogOf(Org::Alice);
        Ui::TFrm_UserOut& ui = *dialog->ui();
        const QByteArray on(c.on);
        ui.DTP->setDate(QDate::currentDate().addDays(c.days));
        (on.contains('l') ? ui.RGLog1 : ui.RGLog0)->setChecked(true);
        (on.contains('k') ? ui.RGCtrlT1 : ui.RGCtrlT0)->setChecked(true);
        ui.CBFile->setChecked(on.contains('f'));
        ui.EdPass->setText(c.pass);
        ui.EdPath->setText(c.path);
        ui.PageCtrl->setCurrentIndex(0);
        const qsizetype before = script.messages().size();
        QStringList expected;
        for (const auto& [key, answer] : c.asked) {
            script.answerMessage(answer);
            expected.append(GetString(key));
        }
        EXPECT_EQ(dialog->CheckInput(), c.passes) << c.days;
        EXPECT_EQ(script.messages().mid(before), expected) << c.days;
        EXPECT_EQ(ui.PageCtrl->currentIndex(), c.page) << c.days;
    }
}

// The folder is remembered as plain INI text, the rest of the file as it was, also when the
// authorization is then pushed.
TEST_P(OfflineDialogTest, FolderIsRememberedInTheSettingsFile) {
    logon.IniFileName = folder.filePath(u"console.ini"_s);
    QFile ini(logon.IniFileName);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[main]\r\nPath=keep\r\n[option]\r\nLang=chs\r\nPath=old\r\n\r\n[z]\r\nq=1\r\n");
    ini.close();
    const auto dialog = dialogOf(Org::Alice);
    dialog->ui()->EdPath->setText(u"C:\\离线\\out"_s);
    EXPECT_TRUE(dialog->CheckInput());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), "[main]\r\nPath=keep\r\n[option]\r\nLang=chs\r\nPath=C:"
                             "\\\xC0\xEB\xCF\xDF\\out\r\n\r\n[z]\r\nq=1\r\n");
    EXPECT_EQ(dialog->OutPath, u"C:\\离线\\out"_s);
}

// From the user menu: a package for the selected user, recorded; without the program nothing
// is recorded.
TEST_P(OfflineDialogTest, FileModeFromTheUserMenu) {
    const struct {
        QString programFolder;
        QString message;
        QString row;
    } cases[] = {
        {folder.filePath(u"none"_s), {}, {}},
        {{}, GetString(u"saveout"_s), u"176/"_s + today(10) + u"/pw "_s},
    };
    for (const auto& c : cases) {
        selectUsers({Org::Alice});
        answerWith<TFrm_UserOut>([&](TFrm_UserOut& d) {
            Ui::TFrm_UserOut& ui = *d.ui();
            if (!c.programFolder.isEmpty())
                d.ProgramFolder = c.programFolder;
            ui.DTP->setDate(QDate::currentDate().addDays(10));
            ui.RGOut1->setChecked(true);
            ui.RGLog1->setChecked(true);
            ui.RGCtrlR1->setChecked(true);
            ui.EdPass->setText(u"pw "_s);
            ui.CBFile->setChecked(true);
            ui.EdPath->setText(folder.filePath(u"pk"_s));
            script.answerMessage(QMessageBox::Ok);
            ui.BtnAuth->click();
            d.reject();
        });
        window().MiOfflineClick();
        if (c.message.isEmpty())
            EXPECT_TRUE(script.messages().last().contains(u"OutMain.exe"_s));
        else
            EXPECT_EQ(script.messages().last(), c.message);
        EXPECT_EQ(userOut(Org::Alice), c.row);
    }
    EXPECT_TRUE(QFile::exists(folder.filePath(u"pk/alice_OutYXP.exe"_s)));
}

// Pushes to the agents' stand-in: a stalled, closing or absent agent gets "outline" within the
// bound and nothing recorded; any completed request, whatever its answer, is recorded and
// logged (not logged with an empty password).
// Only a completed answer delivers, however long it takes within the bounds: a refusal, a
// stall, a close, a redirect (not followed) or a huge answer do not, and an address that is not
// a plain dotted quad is not reached at all. Esc gives up waiting; nothing is recorded then.
TEST_P(OfflineDialogTest, PushToTheAgents) {
    logon.AdminName = u"admin"_s;
    logon.ClientPort = freeTcpPort();
    logon.CommandConnectMs = 1000;
    logon.CommandAnswerMs = 4000;
    const QString log = folder.filePath(u"agents.log"_s);
    QStringList arguments{u"--log"_s, log};
    for (const char* agent :
         {"127.0.4.1:%1", "127.0.4.2:%1,mode=garbage", "127.0.4.3:%1,mode=stall",
          "127.0.4.4:%1,mode=close", "127.0.4.5:%1,mode=redirect,to=127.0.4.1:%1",
          "127.0.4.6:%1,mode=flood", "127.0.4.7:%1,mode=slow,delay=3200"})
        arguments << u"--agent"_s << QString::fromLatin1(agent).arg(logon.ClientPort);
    StandIn agents(QCoreApplication::applicationDirPath() + u"/kvzagent"_s, arguments);
    ASSERT_TRUE(agents.isReady()) << agents.errorText().toStdString();
    const QString saved = u"0/"_s + today(3) + u'/';
    const QString sneaky = u"127.0.4.1:%1/x?"_s.arg(logon.ClientPort);
    const struct {
        QString ip;
        QString pass;
        const char16_t* key;
        QString row;
        qint64 logRows;
    } cases[] = {
        {u"127.0.4.9"_s, u"x"_s, u"outline", {}, 0},
        {u"127.0.4.3"_s, u"x"_s, u"outline", {}, 0},
        {u"127.0.4.4"_s, u"x"_s, u"outline", {}, 0},
        {u"127.0.4.5"_s, u"x"_s, u"outline", {}, 0},
        {u"127.0.4.6"_s, u"x"_s, u"outline", {}, 0},
        {sneaky, u"x"_s, u"outline", {}, 0},
        {u"localhost"_s, u"x"_s, u"outline", {}, 0},
        {u"127.0.4.2"_s, u""_s, u"saveout", saved, 0},
        {u"127.0.4.7"_s, u""_s, u"saveout", saved, 0},
        {u"127.0.4.1"_s, u" s p "_s, u"saveout", saved + u" s p "_s, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ip.toStdString());
        setUser(Org::Alice, u"Ip = '"_s + c.ip + u"'"_s);
        const auto dialog = dialogOf(Org::Alice);
        dialog->ui()->DTP->setDate(QDate::currentDate().addDays(3));
        dialog->ui()->EdPass->setText(c.pass);
        script.answerMessage(QMessageBox::Ok);
        QElapsedTimer timer;
        timer.start();
        dialog->ui()->BtnAuth->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isPushing(); }, 10000));
        EXPECT_LT(timer.elapsed(), logon.CommandConnectMs + logon.CommandAnswerMs + 1000);
        EXPECT_EQ(script.messages().last(), GetString(QString::fromUtf16(c.key)));
        EXPECT_EQ(userOut(Org::Alice), c.row);
        EXPECT_EQ(count(u"LogAct"_s), c.logRows);
    }
    QList<QJsonObject> pushed;
    for (const QJsonObject& request : readAgentLog(log, 7)) {
        if (request.value(u"agent"_s).toString().startsWith(u"127.0.4.1:"_s))
            pushed.append(request);
    }
    ASSERT_EQ(pushed.size(), 1) << "neither the redirect nor the address with a path reached it";
    EXPECT_EQ(pushed[0].value(u"lines"_s).toVariant().toStringList(),
              (QStringList{u"aFlag=SetOutFile"_s, u"OutHardNo=HW1"_s, u"SetTime="_s + today(0),
                           u"OutTime="_s + today(3), u"OutCtrl=0"_s, u"OutPW= s p"_s}));
    EXPECT_EQ(text(u"select Lwhere || '|' || Lwho || '|' || Lwhat || '|' || Lresult from LogAct"_s),
              u"127.0.4.1|admin| s p |OK"_s);

    db->exec(u"delete from UserOut"_s);
    setUser(Org::Alice, u"Ip = '127.0.4.3'"_s); // stalls
    const auto dialog = dialogOf(Org::Alice);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtnAuth->click();
    QTest::qWait(200);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isPushing(); }, 1000));
    EXPECT_EQ(script.messages().last(), GetString(u"outline"_s));
    EXPECT_TRUE(dialog->isVisible()) << "Esc gave up the wait, not the dialog";
    EXPECT_EQ(userOut(Org::Alice), QString());
}

// The query's lines each end with CR LF and keep the password's trailing blanks (the agents'
// stand-in trims what it logs, so the bytes are read here).
TEST_P(OfflineDialogTest, PushQueryKeepsThePassword) {
    FakeAgent agent("OK");
    logon.ClientPort = agent.server.serverPort();
    setUser(Org::Alice, u"Ip = '127.0.0.1'"_s);
    const auto dialog = dialogOf(Org::Alice);
    dialog->ui()->EdPass->setText(u"pw  "_s);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtnAuth->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isPushing(); }, 10000));
    ASSERT_EQ(agent.queries.size(), 1);
    EXPECT_EQ(agent.queries[0], u"aFlag=SetOutFile\r\nOutHardNo=HW1\r\nSetTime="_s + today(0) +
                                    u"\r\nOutTime="_s + today(7) +
                                    u"\r\nOutCtrl=0\r\nOutPW=pw  \r\n"_s);
}

INSTANTIATE_TEST_SUITE_P(Backends, OfflineDialogTest, ::testing::ValuesIn(testBackends()),
                         backendName);
