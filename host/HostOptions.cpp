#include "HostOptions.h"

#include "ConnectionProfiles.h"
#include "IniFile.h"
#include "LogonInfo.h"
#include "NarrowText.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace {

struct OptionSet {
    QCommandLineOption sqlite{u"sqlite"_s, u"Management database in the existing SQLite FILE."_s,
                              u"FILE"_s};
    QCommandLineOption create{u"create"_s,
                              u"Create the database, empty, when it does not exist."_s};
    QCommandLineOption demo{u"demo"_s,
                            u"Create the database with the demo site when it does not exist."_s};
    QCommandLineOption profile{u"profile"_s,
                               u"Open the connection saved under NAME in the connection dialog."_s,
                               u"NAME"_s};
    QCommandLineOption pg{u"pg"_s, u"Management database on PostgreSQL, HOST:PORT/DATABASE."_s,
                          u"HOST:PORT/DB"_s};
    QCommandLineOption pgUser{u"pg-user"_s, u"PostgreSQL user."_s, u"USER"_s};
    QCommandLineOption pgPassword{u"pg-password"_s,
                                  u"PostgreSQL password (other users can read a command line: "
                                  u"better PGPASSWORD or ~/.pgpass)."_s,
                                  u"PASSWORD"_s};
    QCommandLineOption pgSslMode{u"pg-sslmode"_s,
                                 u"TLS to PostgreSQL: prefer (default), require or verify-full."_s,
                                 u"MODE"_s};
    QCommandLineOption pgSchema{u"pg-schema"_s,
                                u"PostgreSQL schema holding the management tables."_s, u"SCHEMA"_s};
    QCommandLineOption lang{u"lang"_s, u"Language: chs (default) or eng."_s, u"LANG"_s, u"chs"_s};
    QCommandLineOption admin{u"admin"_s, u"Name of the signed-in administrator."_s, u"NAME"_s,
                             u"admin"_s};
    QCommandLineOption auths{u"auths"_s,
                             u"Administrator rights as a bit mask (decimal or 0x..); default "
                             u"all."_s,
                             u"MASK"_s};
    QCommandLineOption serverPort{u"server-port"_s, u"UDP port of the management server."_s,
                                  u"PORT"_s, u"2228"_s};
    QCommandLineOption clientPort{u"client-port"_s, u"Port of the client agents."_s, u"PORT"_s,
                                  u"2230"_s};
    QCommandLineOption outDir{u"out-dir"_s, u"Default folder for offline packages."_s, u"DIR"_s};
    QCommandLineOption ini{u"ini"_s,
                           u"The console's settings file (kvzconsole.ini in the user's "
                           u"configuration folder)."_s,
                           u"FILE"_s};
    QCommandLineOption rootName{
        u"root-name"_s, u"Name of the whole organisation (with --lang eng: Organization)."_s,
        u"NAME"_s, u"组织机构"_s};
    QCommandLineOption ukey{u"ukey"_s, u"Key text written as uKey= into client policies."_s,
                            u"TEXT"_s};
    QCommandLineOption hkey{u"hkey"_s, u"Key text for hKey= when key option 4 is set."_s,
                            u"TEXT"_s};
    QCommandLineOption hkeyAlt{u"hkey-alt"_s, u"Key text for hKey= otherwise."_s, u"TEXT"_s};
    QCommandLineOption keyOptions{u"key-options"_s, u"Key option byte."_s, u"BYTE"_s, u"0"_s};
    QCommandLineOption codepage{u"codepage"_s, u"Narrow code page of byte texts."_s, u"NAME"_s,
                                u"GBK"_s};
    QCommandLineOption readOnly{u"read-only"_s,
                                u"Open the management database read-only (chosen by itself for a "
                                u"file or folder that cannot be written)."_s};
    QCommandLineOption screenshot{
        u"screenshot"_s, u"Render the window to FILE (PNG) once shown, then quit."_s, u"FILE"_s};
    QCommandLineOption commandTimeout{
        u"command-timeout"_s,
        u"Bounds of a command to a client agent in milliseconds: reaching it, then its answer."_s,
        u"CONNECT,ANSWER"_s, u"3000,15000"_s};
    QCommandLineOption commandConcurrency{
        u"command-concurrency"_s,
        u"Requests of a command to many agents reaching their agents at once (256)."_s, u"N"_s,
        u"256"_s};

    QList<QCommandLineOption> all() const {
        return {sqlite,
                create,
                demo,
                profile,
                pg,
                pgUser,
                pgPassword,
                pgSslMode,
                pgSchema,
                lang,
                admin,
                auths,
                serverPort,
                clientPort,
                outDir,
                ini,
                rootName,
                ukey,
                hkey,
                hkeyAlt,
                keyOptions,
                codepage,
                readOnly,
                screenshot,
                commandTimeout,
                commandConcurrency};
    }
};

// A whole number in decimal or, with 0x, hexadecimal, within [low, high].
std::optional<qint64> number(const QString& text, qint64 low, qint64 high) {
    bool ok = false;
    const qint64 value = text.startsWith(u"0x"_s, Qt::CaseInsensitive)
                             ? text.mid(2).toLongLong(&ok, 16)
                             : text.toLongLong(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

HostOptions::Create createMode(const QCommandLineParser& parser, const OptionSet& o) {
    if (parser.isSet(o.demo))
        return HostOptions::Create::Demo;
    return parser.isSet(o.create) ? HostOptions::Create::Empty : HostOptions::Create::Never;
}

// The console's settings file in the user's configuration folder, which is created when
// missing so that settings can be saved there.
QString settingsFile() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(u"kvzconsole.ini"_s);
}

// A SQLite file opens only when it exists, unless creating it was asked for: a mistyped name
// must not become a new, empty or invented site. Its folder is never created.
bool readSqliteFile(const QString& path, HostOptions& options, QString& error) {
    // SQLite would open an empty name as a temporary database and lose every change at exit.
    if (path.trimmed().isEmpty()) {
        error = u"--sqlite expects the name of the database file"_s;
        return false;
    }
    options.database.backend = DbBackend::SQLite;
    options.database.sqlitePath = path;
    const QFileInfo file(path);
    options.isNew = !file.exists();
    if (!options.isNew)
        return true;
    if (options.create == HostOptions::Create::Never)
        error = path + u" does not exist (--create makes an empty database, --demo one with the "
                       u"demo site)"_s;
    else if (!file.absoluteDir().exists())
        error = u"the folder of "_s + path + u" does not exist"_s;
    else if (options.database.readOnly)
        error = u"--read-only needs an existing database file, "_s + path + u" does not exist"_s;
    return error.isEmpty();
}

// The database options of parser: a SQLite file or a PostgreSQL server. Neither: the user
// chooses in the connection dialog.
bool readDatabaseOptions(const QCommandLineParser& parser, const OptionSet& o, HostOptions& options,
                         QString& error) {
    if (parser.isSet(o.sqlite) && parser.isSet(o.pg)) {
        error = u"choose either --sqlite or --pg, not both"_s;
        return false;
    }
    if (parser.isSet(o.pg)) {
        if (!parsePostgresAddress(parser.value(o.pg), options.database)) {
            error = u"--pg expects HOST:PORT/DATABASE, got \""_s + parser.value(o.pg) + u'"';
            return false;
        }
        options.database.user = parser.value(o.pgUser);
        options.database.password = parser.value(o.pgPassword);
        options.database.schema = parser.value(o.pgSchema);
        options.database.sslMode = parser.value(o.pgSslMode);
        if (parser.isSet(o.pgSslMode) && !isValidSslMode(options.database.sslMode)) {
            error = u"--pg-sslmode expects prefer, require or verify-full"_s;
            return false;
        }
        return true;
    }
    options.chooseDatabase = !parser.isSet(o.sqlite);
    return options.chooseDatabase || readSqliteFile(parser.value(o.sqlite), options, error);
}

// The database options saved under the name of --profile.
bool readProfile(const QString& name, const OptionSet& o, HostOptions& options, QString& error) {
    const std::optional<ConnectionProfile> profile = ConnectionProfiles().find(name);
    if (!profile) {
        error = u"no saved connection is named \""_s + name + u'"';
        return false;
    }
    QCommandLineParser saved;
    saved.addOptions(o.all());
    if (!saved.parse(QStringList{u"kvzconsole"_s} + profile->arguments)) {
        error = u"the saved connection \""_s + name + u"\" is damaged: "_s + saved.errorText();
        return false;
    }
    options.fromProfile = true;
    return readDatabaseOptions(saved, o, options, error);
}

bool readDatabase(const QCommandLineParser& parser, const OptionSet& o, HostOptions& options,
                  QString& error) {
    if (parser.isSet(o.create) && parser.isSet(o.demo)) {
        error = u"choose either --create or --demo, not both"_s;
        return false;
    }
    options.create = createMode(parser, o);
    options.database.readOnly = parser.isSet(o.readOnly);
    if (!parser.isSet(o.profile))
        return readDatabaseOptions(parser, o, options, error);
    if (parser.isSet(o.sqlite) || parser.isSet(o.pg)) {
        error = u"choose either --profile or a database option, not both"_s;
        return false;
    }
    return readProfile(parser.value(o.profile), o, options, error);
}

bool readNumbers(const QCommandLineParser& parser, const OptionSet& o, HostOptions& options,
                 QString& error) {
    const auto auths = parser.isSet(o.auths) ? number(parser.value(o.auths), 0, 0x7fffffff)
                                             : std::optional<qint64>(options.adminAuths);
    const auto serverPort = number(parser.value(o.serverPort), 1, 65534);
    const auto clientPort = number(parser.value(o.clientPort), 1, 65535);
    const auto keyOptions = number(parser.value(o.keyOptions), 0, 255);
    const QStringList bounds = parser.value(o.commandTimeout).split(u',');
    const auto connectMs = number(bounds.value(0), 100, 600000);
    const auto answerMs = number(bounds.value(1), 100, 600000);
    const auto concurrency = number(parser.value(o.commandConcurrency), 1, 1024);
    if (!auths || !serverPort || !clientPort || !keyOptions || !connectMs || !answerMs ||
        bounds.size() != 2 || !concurrency) {
        error = !auths         ? u"--auths expects a bit mask"_s
                : !serverPort  ? u"--server-port expects a port number below 65535"_s
                : !clientPort  ? u"--client-port expects a port number"_s
                : !keyOptions  ? u"--key-options expects a number from 0 to 255"_s
                : !concurrency ? u"--command-concurrency expects a number from 1 to 1024"_s
                               : u"--command-timeout expects CONNECT,ANSWER in milliseconds "
                                 u"(100 to 600000 each)"_s;
        return false;
    }
    options.commandConcurrency = static_cast<qint32>(*concurrency);
    options.commandConnectMs = static_cast<qint32>(*connectMs);
    options.commandAnswerMs = static_cast<qint32>(*answerMs);
    options.adminAuths = static_cast<qint32>(*auths);
    options.serverPort = static_cast<qint32>(*serverPort);
    options.clientPort = static_cast<qint32>(*clientPort);
    options.keyOptions = static_cast<quint8>(*keyOptions);
    return true;
}

bool readTexts(const QCommandLineParser& parser, const OptionSet& o, HostOptions& options,
               QString& error) {
    options.language = parser.value(o.lang);
    if (options.language != u"chs" && options.language != u"eng") {
        error = u"--lang expects chs or eng"_s;
        return false;
    }
    options.codePage = parser.value(o.codepage).toLatin1();
    if (!isKnownCodePage(options.codePage)) {
        error = u"unknown code page \""_s + parser.value(o.codepage) + u'"';
        return false;
    }
    options.adminName = parser.value(o.admin);
    // Without --root-name the organisation is named in the console's language.
    options.rootName = parser.isSet(o.rootName) || options.language != u"eng"
                           ? parser.value(o.rootName)
                           : u"Organization"_s;
    options.iniFile = parser.isSet(o.ini) ? parser.value(o.ini) : settingsFile();
    // The package folder chosen last time, unless the command line names one.
    options.outDir = parser.isSet(o.outDir)
                         ? parser.value(o.outDir)
                         : readIniString(options.iniFile, u"option"_s, u"Path"_s, options.codePage);
    if (options.outDir.isEmpty())
        options.outDir = QDir::homePath();
    options.uKey = parser.value(o.ukey);
    options.hKey = parser.value(o.hkey);
    options.hKeyAlt = parser.value(o.hkeyAlt);
    options.screenshot = parser.value(o.screenshot);
    return true;
}

} // namespace

std::optional<HostOptions> parseHostOptions(const QStringList& arguments, QString& error) {
    const OptionSet o;
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Management console host of the users-management module."_s);
    parser.addHelpOption();
    parser.addOptions(o.all());
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(u"help"_s))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty()) {
        error = u"unexpected argument \""_s + parser.positionalArguments().constFirst() + u'"';
        return std::nullopt;
    }
    HostOptions options;
    if (!readDatabase(parser, o, options, error) || !readNumbers(parser, o, options, error) ||
        !readTexts(parser, o, options, error))
        return std::nullopt;
    return options;
}

void fillLogonInfo(const HostOptions& options, TLogonInfo& logonInfo) {
    logonInfo.CurDepartId = 0;
    logonInfo.IniFileName = options.iniFile;
    logonInfo.AdminName = options.adminName;
    logonInfo.OutDir = options.outDir;
    logonInfo.AdminAuths = options.adminAuths;
    logonInfo.Skin.Name = u"Default"_s;
    logonInfo.Skin.Color = 0x00F0F0F0;
    logonInfo.UKey = options.uKey;
    logonInfo.HKey = options.hKey;
    logonInfo.ServerPort = options.serverPort;
    logonInfo.ClientPort = options.clientPort;
    logonInfo.RootName = options.rootName;
    logonInfo.KeyOptions = options.keyOptions;
    logonInfo.HKeyAlt = options.hKeyAlt;
    logonInfo.Language = options.language;
    logonInfo.CodePage = options.codePage;
    logonInfo.CommandConnectMs = options.commandConnectMs;
    logonInfo.CommandAnswerMs = options.commandAnswerMs;
    logonInfo.CommandConcurrency = options.commandConcurrency;
}

QString databaseName(const DbSettings& db) {
    if (db.backend == DbBackend::SQLite)
        return QFileInfo(db.sqlitePath).absoluteFilePath();
    QString name = db.host + u':' + QString::number(db.port) + u'/' + db.database;
    if (!db.user.isEmpty())
        name.prepend(db.user + u'@');
    if (!db.schema.isEmpty())
        name += u" ("_s + db.schema + u')';
    return name;
}

QStringList databaseArguments(const DbSettings& db) {
    if (db.backend == DbBackend::SQLite)
        return {u"--sqlite"_s, QFileInfo(db.sqlitePath).absoluteFilePath()};
    const QString host = db.host.contains(u':') ? u'[' + db.host + u']' : db.host; // IPv6
    QStringList arguments{u"--pg"_s, host + u':' + QString::number(db.port) + u'/' + db.database};
    for (const auto& [option, value] : {std::pair{u"--pg-user"_s, db.user},
                                        {u"--pg-schema"_s, db.schema},
                                        {u"--pg-sslmode"_s, db.sslMode},
                                        {u"--pg-password"_s, db.password}}) {
        if (!value.isEmpty())
            arguments << option << value;
    }
    return arguments;
}
