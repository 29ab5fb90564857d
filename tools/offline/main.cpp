// kvzoffline: writes offline-use packages for one user or for every user of a department, as
// the offline authorization dialog writes them, and records each in UserOut.
//
//   kvzoffline --sqlite FILE (--uid N | --depart N) --out DIR [--expiry YYYY-MM-DD]
//              [--ctrl N] [--auth-password P]
//   kvzoffline --pg HOST:PORT/DB --pg-user U [--pg-password P] [--pg-schema S]
//              [--pg-sslmode M] ...
//   (--user, --password and --schema are accepted too)
//
// Prints one line per package: uid, user name and package path, tab-separated. The packages are
// recorded in UserOut together at the end, in one transaction.
#include "DbConnection.h"
#include "DbQuery.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "OfflinePackage.h"
#include "TerminalProgress.h"
#include "ToolDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTextStream>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

enum Exit { Ok = 0, Failed = 1, BadOptions = 2, NoUsers = 3 };

constexpr int MaxDays = 365;
constexpr int CtrlBits = 16 | 32 | 64 | 128;

struct Options {
    DbSettings settings;
    QString where; // selects the users
    QString folder;
    QDate expiry;
    qint32 ctrl = 0;
    QString password;
    QByteArray codePage;
};

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

// The same limits as the dialog: not before today, at most a year ahead; the control word
// made of the four option bits only.
std::optional<QString> parseGrant(const QCommandLineParser& parser, Options& options) {
    if (parser.isSet(u"uid"_s) == parser.isSet(u"depart"_s))
        return u"give either --uid N or --depart N"_s;
    bool number = false;
    const QString key = parser.isSet(u"uid"_s) ? u"uid"_s : u"depart"_s;
    const qint32 id = parser.value(key).toInt(&number);
    if (!number)
        return u"--"_s + key + u" takes a number"_s;
    options.where = (key == u"uid"_s ? u"Uid = "_s : u"Pid = "_s) + QString::number(id);
    options.folder = parser.value(u"out"_s);
    if (options.folder.isEmpty())
        return u"give the output folder with --out DIR"_s;
    const QDate today = QDate::currentDate();
    options.expiry = parser.isSet(u"expiry"_s)
                         ? QDate::fromString(parser.value(u"expiry"_s), Qt::ISODate)
                         : today.addDays(7);
    if (!options.expiry.isValid() || options.expiry < today ||
        today.daysTo(options.expiry) > MaxDays)
        return u"--expiry takes a date from today to a year ahead (YYYY-MM-DD)"_s;
    options.ctrl = parser.value(u"ctrl"_s).toInt(&number);
    if (!number || (options.ctrl & ~CtrlBits) != 0)
        return u"--ctrl takes a sum of 16, 32, 64 and 128"_s;
    options.password = parser.value(u"auth-password"_s);
    options.codePage = parser.value(u"code-page"_s).toLatin1();
    return std::nullopt;
}

std::optional<Options> parseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes offline-use packages and records them."_s);
    parser.addHelpOption();
    addToolDatabaseOptions(parser);
    parser.addOptions({
        {u"uid"_s, u"The user to authorize."_s, u"n"_s},
        {u"depart"_s, u"Authorize every user of this department."_s, u"n"_s},
        {u"out"_s, u"Folder of the packages (created when missing)."_s, u"dir"_s},
        {u"expiry"_s, u"Expiry date (today + 7 days)."_s, u"YYYY-MM-DD"_s},
        {u"ctrl"_s,
         u"Control word: 16 ends on the network, 32 login control, 64 USB key, "
         u"128 shut down on failure (0)."_s,
         u"n"_s, u"0"_s},
        {u"auth-password"_s, u"The login-control password."_s, u"text"_s},
        {u"code-page"_s, u"Narrow code page of the texts (GBK)."_s, u"name"_s, u"GBK"_s},
    });
    parser.process(app);
    Options options;
    std::optional<QString> error =
        readToolDatabase(parser, SqliteFile::MustExist, options.settings);
    if (!error)
        error = parseGrant(parser, options);
    if (error) {
        err() << "kvzoffline: " << *error << "\n";
        return std::nullopt;
    }
    return options;
}

int run(const Options& options) {
    const auto connection = DbConnection::open(options.settings);
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.CodePage = options.codePage;
    LogonInfo = &logon;
    DbQuery users(connection.get());
    users.setSql(u"select Uid, UserName, HardNo from Users where "_s + options.where +
                 u" order by Uid"_s);
    users.open();
    if (users.isEmpty()) {
        err() << "kvzoffline: no user where " << options.where << "\n";
        return NoUsers;
    }
    QTextStream out(stdout);
    TerminalProgress progress(u"packages"_s);
    QList<PackageGrant> grants;
    for (; !users.eof(); users.next()) {
        grants.append({users.asInteger(u"Uid"_s),
                       users.asString(u"UserName"_s).trimmed(),
                       {users.asString(u"HardNo"_s).trimmed(), dateText(QDate::currentDate()),
                        dateText(options.expiry), options.ctrl, options.password}});
    }
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(u"OutMain.exe"_s);
    qint64 done = 0;
    writePackages(connection.get(), grants, options.folder, program,
                  [&](const PackageGrant& grant, const QString& path) {
                      progress.clear();
                      out << grant.uid << '\t' << grant.userName << '\t'
                          << QDir::toNativeSeparators(path) << Qt::endl;
                      progress.update(++done, grants.size());
                  });
    return Ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"kvzoffline"_s);
    // Messages about the packages in the language of the user's locale.
    SetLanguage(QLocale::system().language() == QLocale::Chinese ? u"chs"_s : u"eng"_s);
    const std::optional<Options> options = parseOptions(app);
    if (!options)
        return BadOptions;
    try {
        return run(*options);
    } catch (const std::exception& e) {
        err() << "kvzoffline: " << e.what() << "\n";
        return Failed;
    }
}
