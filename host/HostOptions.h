#pragma once

#include "DbConnection.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

class TLogonInfo;

// What the console host was asked to do, from its command line.
struct HostOptions {
    DbSettings database;
    bool createIfMissing = false; // SQLite file that does not exist yet: create and seed it
    QString language = QStringLiteral("chs");
    QString adminName = QStringLiteral("admin");
    qint32 adminAuths = (1 << 29) - 1; // every right
    qint32 serverPort = 2228;
    qint32 clientPort = 2230;
    QString outDir;
    QString iniFile;
    QString rootName = QStringLiteral("组织机构");
    QString uKey;
    QString hKey;
    QString hKeyAlt;
    quint8 keyOptions = 0;
    QByteArray codePage = QByteArrayLiteral("GBK");
    QString screenshot;             // render the window to this PNG and quit
    qint32 commandConnectMs = 3000; // bounds of a request to a client agent
    qint32 commandAnswerMs = 15000;
    qint32 commandConcurrency = 32; // requests in flight of a command to many agents
};

// Parses the arguments (program name first). On a mistake returns nothing and sets error to
// one line for the user; --help and --version print and exit as usual.
std::optional<HostOptions> parseHostOptions(const QStringList& arguments, QString& error);

// Every field of the logon context the host provides, from the options.
void fillLogonInfo(const HostOptions& options, TLogonInfo& logonInfo);
