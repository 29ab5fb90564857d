#include "ToolDatabase.h"

#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

void addToolDatabaseOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {u"sqlite"_s, u"SQLite database file."_s, u"file"_s},
        {u"pg"_s, u"PostgreSQL server and database."_s, u"host:port/db"_s},
        {{u"pg-user"_s, u"user"_s}, u"PostgreSQL user."_s, u"name"_s},
        {{u"pg-password"_s, u"password"_s},
         u"PostgreSQL password (other users can read a command line: better PGPASSWORD or "
         u"~/.pgpass)."_s,
         u"pw"_s},
        {{u"pg-schema"_s, u"schema"_s},
         u"PostgreSQL schema of the management tables."_s,
         u"name"_s},
        {u"pg-sslmode"_s, u"TLS to PostgreSQL: prefer (default), require or verify-full."_s,
         u"mode"_s},
    });
}

std::optional<QString> readToolDatabase(const QCommandLineParser& parser, SqliteFile file,
                                        DbSettings& settings) {
    if (parser.isSet(u"sqlite"_s) == parser.isSet(u"pg"_s))
        return u"give either --sqlite FILE or --pg HOST:PORT/DB"_s;
    if (parser.isSet(u"sqlite"_s)) {
        settings.sqlitePath = parser.value(u"sqlite"_s);
        if (settings.sqlitePath.trimmed().isEmpty()) // SQLite: a temporary database
            return u"--sqlite expects the name of the database file"_s;
        if (file == SqliteFile::MustExist && !QFileInfo(settings.sqlitePath).isFile())
            return u"no database file "_s + settings.sqlitePath + u" (kvzdb creates one)"_s;
        return std::nullopt;
    }
    if (!parsePostgresAddress(parser.value(u"pg"_s), settings))
        return u"--pg expects HOST:PORT/DB, got \""_s + parser.value(u"pg"_s) + u'"';
    settings.user = parser.value(u"pg-user"_s);
    settings.password = parser.value(u"pg-password"_s);
    settings.schema = parser.value(u"pg-schema"_s);
    settings.sslMode = parser.value(u"pg-sslmode"_s);
    if (parser.isSet(u"pg-sslmode"_s) && !isValidSslMode(settings.sslMode))
        return u"--pg-sslmode expects prefer, require or verify-full"_s;
    return std::nullopt;
}
