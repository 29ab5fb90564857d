// Prints how the main window keeps up with a storm of presence datagrams: with every user of a
// large site listed, the server side's storm mode announces each of them once, as fast as it
// can, and the longest event of the window meanwhile; next to it, the floor: a bare socket
// reading the same storm. Then the refresh of the whole site: resetting the marks and sending
// one refresh datagram per user address.
//
//   PresenceBench [--sqlite FILE] [--users N]
//
// The SQLite file (a temporary one when none is given) is filled with a generated site when it
// holds fewer users; every user starts offline. kvzserver is taken from this program's folder.
#include "BenchSupport.h"
#include "DbConnection.h"
#include "DbError.h"
#include "DbQuery.h"
#include "DepartTreeModel.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "PgUsersManage.h"
#include "Schema.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

quint16 freeUdpPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

struct Storm {
    int applied = 0;
    double ms = 0;
};

// Starts kvzserver's storm of count datagrams to 127.0.0.1:port and runs the event loop until
// applied() reaches count or nothing arrives for a second. The time runs from the first
// datagram applied to the last.
Storm runStorm(const QString& database, quint16 port, int count,
               const std::function<int()>& applied) {
    QProcess server;
    server.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath(u"kvzserver"_s));
    server.setArguments({u"--sqlite"_s, database, u"--server-port"_s, QString::number(port - 1),
                         u"--storm"_s, QString::number(count)});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    QElapsedTimer sinceFirst, sinceProgress;
    sinceProgress.start();
    int last = applied();
    while (last < count && sinceProgress.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const int now = applied();
        if (now != last) {
            if (!sinceFirst.isValid())
                sinceFirst.start();
            last = now;
            sinceProgress.start();
        }
    }
    server.waitForFinished(5000);
    return {last, sinceFirst.isValid() ? double(sinceFirst.nsecsElapsed()) / 1e6 : 0};
}

void report(const char* what, const Storm& storm, int count) {
    std::printf("  %-22s %7d of %d   %8.1f ms   %9.0f datagrams/s\n", what, storm.applied, count,
                storm.ms, storm.ms > 0 ? storm.applied / (storm.ms / 1000) : 0);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::TimedApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{u"sqlite"_s, u"SQLite database file."_s, u"file"_s},
                       {u"users"_s, u"Users of the site."_s, u"n"_s, u"100000"_s}});
    parser.process(app);
    const int users = parser.value(u"users"_s).toInt();
    try {
        QTemporaryDir folder;
        DbSettings settings;
        settings.sqlitePath =
            parser.isSet(u"sqlite"_s) ? parser.value(u"sqlite"_s) : folder.filePath(u"site.db"_s);
        auto connection = DbConnection::open(settings);
        if (!connection->hasTable(u"Users"_s) ||
            DbCommand(connection.get(), u"select count(*) from Users"_s).scalar().toInt() < users) {
            std::printf("generating %d users...\n", users);
            createSchema(*connection);
            generateLargeSite(*connection, users, users / 5, 20240601);
        }
        DbCommand(connection.get(), u"update Users set Onlined = 0"_s).execute();

        QWidget panel;
        panel.resize(1200, 800);
        TLogonInfo logon;
        logon.Connection = connection.get();
        logon.ParentPanel = &panel;
        logon.RootName = u"Org"_s;
        logon.AdminAuths = -1;
        logon.ServerPort = freeUdpPort() - 1;
        logon.ClientPort = freeUdpPort();
        OpenFormWithLogonInfo(&logon);
        panel.show();
        while (FrmUsersManage->departs()->rowCount() == 0 || FrmUsersManage->isLoadingUsers())
            QCoreApplication::processEvents();
        TFrmUsersManage& form = *FrmUsersManage;
        const int listed = form.TotalCount();
        std::printf("%d users listed at the root, all offline\n", listed);

        app.resetLongest();
        const Storm window = runStorm(settings.sqlitePath, quint16(logon.ServerPort + 1), listed,
                                      [&form] { return form.OnlineCount(); });
        const double longestMs = app.longestMs, longestCpuMs = app.longestCpuMs;
        QUdpSocket bare;
        bare.bind(QHostAddress::LocalHost, freeUdpPort());
        bare.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 16 * 1024 * 1024);
        int received = 0;
        QObject::connect(&bare, &QUdpSocket::readyRead, [&] {
            char buffer[2048];
            while (bare.hasPendingDatagrams())
                received += bare.readDatagram(buffer, sizeof buffer) >= 0;
        });
        const Storm floor = runStorm(settings.sqlitePath, bare.localPort(), listed,
                                     [&received] { return received; });
        std::printf("storm of %d KVZCLIENTIN datagrams:\n", listed);
        report("window (applied)", window, listed);
        report("bare socket (floor)", floor, listed);
        std::printf("  the window's longest event meanwhile: %.1f ms (CPU time %.1f ms)\n",
                    longestMs, longestCpuMs);
        std::printf("  window against the floor: %.2f\n",
                    floor.ms > 0 && window.ms > 0
                        ? (window.applied / window.ms) / (floor.applied / floor.ms)
                        : 0.0);

        // The refresh of the root: every address of the site gets its datagram.
        form.IPWatch = [] { return u"10.255.255.1"_s; }; // not loopback: every user is a target
        form.RefreshSettleMs = 0;
        const QStringList targets = form.RefreshTargets();
        QElapsedTimer sending;
        sending.start();
        form.SendRefreshDatagrams(targets);
        std::printf("refresh datagrams to %lld addresses: %.1f ms\n", qlonglong(targets.size()),
                    double(sending.nsecsElapsed()) / 1e6);
        QElapsedTimer refresh;
        refresh.start();
        form.BtnRefreshClick();
        std::printf("refresh of the root (reset, read the addresses, %d datagrams): %.1f ms\n",
                    listed, double(refresh.nsecsElapsed()) / 1e6);
        CloseBplForm();
    } catch (const DbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
