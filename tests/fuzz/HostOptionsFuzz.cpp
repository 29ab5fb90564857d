// The console host's command line: one argument per line of the input. A refused command line
// says why; an accepted one gives a known language and code page, ports and rights in range,
// and a database to open. Arguments that ask for the help text (which prints and exits) are
// left out.

#include "FuzzCheck.h"
#include "HostOptions.h"

#include <QCoreApplication>
#include <QStringEncoder>

using namespace Qt::Literals::StringLiterals;

namespace {

// "-h", "-?", "--help" and their spellings with two dashes, a value or several short letters.
bool asksForHelp(const QString& argument) {
    if (argument.startsWith(u"--"_s)) {
        const QString name = argument.section(u'=', 0, 0).mid(2);
        return name == u"h"_s || name == u"?"_s || name.startsWith(u"help"_s);
    }
    return argument.startsWith(u'-') && (argument.contains(u'h') || argument.contains(u'?'));
}

void checkAccepted(const HostOptions& options) {
    require(options.language == u"chs"_s || options.language == u"eng"_s, "a known language");
    require(QStringEncoder(options.codePage.constData()).isValid(), "a known code page");
    require(options.serverPort >= 1 && options.serverPort <= 65534, "server port in range");
    require(options.clientPort >= 1 && options.clientPort <= 65535, "client port in range");
    require(options.adminAuths >= 0, "rights are a mask of 31 bits");
    const DbSettings& db = options.database;
    if (options.chooseDatabase)
        return; // the connection dialog asks for one
    if (db.backend == DbBackend::PostgreSQL)
        require(!db.host.isEmpty() && !db.database.isEmpty() && db.port >= 1 && db.port <= 65535 &&
                    (db.sslMode.isEmpty() || isValidSslMode(db.sslMode)),
                "a PostgreSQL address to connect to, in an SSL mode libpq knows");
    else
        require(
            !db.sqlitePath.trimmed().isEmpty() &&
                !(options.isNew && (db.readOnly || options.create == HostOptions::Create::Never)),
            "a SQLite file that exists, or one to create as asked");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv); // the parser reads the program's folder
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    QStringList arguments{u"kvzconsole"_s};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& argument : text.split(u'\n')) {
        if (argument == u"--"_s)
            break; // what follows is positional, and refused
        if (asksForHelp(argument))
            return -1;
        arguments << argument;
    }
    QString error;
    const std::optional<HostOptions> options = parseHostOptions(arguments, error);
    if (options)
        checkAccepted(*options);
    else
        require(!error.isEmpty(), "a refused command line says why");
    return 0;
}
