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
    // What to do with a database that does not exist yet (a SQLite file that is not there, a
    // PostgreSQL schema without the management tables): refuse, create it empty, or create it
    // with the demo site. An existing database is opened as it is.
    enum class Create { Never, Empty, Demo } create = Create::Never;
    bool isNew = false;          // the SQLite file does not exist yet
    bool chooseDatabase = false; // no database option: the user chooses in the dialog
    bool fromProfile = false;    // the database options are a saved connection's (--profile)
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
    qint32 commandConcurrency = 256; // requests of a bulk command reaching agents at once
};

// Parses the arguments (program name first). On a mistake returns nothing and sets error to
// one line for the user; --help and --version print and exit as usual.
std::optional<HostOptions> parseHostOptions(const QStringList& arguments, QString& error);

// Every field of the logon context the host provides, from the options.
void fillLogonInfo(const HostOptions& options, TLogonInfo& logonInfo);

// The database as the window names it: the SQLite file's full path, or the PostgreSQL user,
// server, database and schema.
QString databaseName(const DbSettings& db);

// The options that name the database, as the connection dialog and saved connections keep them.
QStringList databaseArguments(const DbSettings& db);
