// The PostgreSQL address and schema name from the command line: a refused address leaves the
// settings alone; an accepted one gives a host, a port from 1 to 65535 and a database name of
// at most 63 bytes, and reads back the same when written out again. An accepted schema name is
// a plain identifier that needs no quoting.

#include "DbConnection.h"
#include "FuzzCheck.h"

using namespace Qt::Literals::StringLiterals;

namespace {

DbSettings sentinel() {
    DbSettings settings;
    settings.sqlitePath = u"site.db"_s;
    settings.user = u"kvz"_s;
    settings.password = u"secret"_s;
    settings.schema = u"s1"_s;
    settings.readOnly = true;
    return settings;
}

bool sameSettings(const DbSettings& a, const DbSettings& b) {
    return a.backend == b.backend && a.sqlitePath == b.sqlitePath && a.readOnly == b.readOnly &&
           a.host == b.host && a.port == b.port && a.database == b.database && a.user == b.user &&
           a.password == b.password && a.schema == b.schema;
}

QString addressOf(const DbSettings& settings) {
    const QString host = settings.host.contains(u':') ? u'[' + settings.host + u']' : settings.host;
    return host + u':' + QString::number(settings.port) + u'/' + settings.database;
}

void checkAddress(const QString& address) {
    DbSettings settings = sentinel();
    if (!parsePostgresAddress(address, settings)) {
        require(sameSettings(settings, sentinel()), "a refused address changes nothing");
        return;
    }
    require(settings.backend == DbBackend::PostgreSQL, "an address means PostgreSQL");
    require(!settings.host.isEmpty() && !settings.database.isEmpty(), "host and database");
    require(settings.port >= 1 && settings.port <= 65535, "a port from 1 to 65535");
    require(settings.database.toUtf8().size() <= 63, "a database name of at most 63 bytes");
    require(!address.endsWith(u'\n'), "no line break after the address");
    DbSettings expected = sentinel();
    expected.backend = DbBackend::PostgreSQL;
    expected.host = settings.host;
    expected.port = settings.port;
    expected.database = settings.database;
    require(sameSettings(settings, expected), "only the address fields change");
    DbSettings again = sentinel();
    require(parsePostgresAddress(addressOf(settings), again) && sameSettings(again, settings),
            "the address reads back as written");
}

void checkSchema(const QString& name) {
    if (!isValidSchemaName(name))
        return;
    require(name.toUtf8().size() <= 63, "a schema name of at most 63 bytes");
    const QList<uint> codePoints = name.toUcs4();
    require(QChar::isLetter(codePoints[0]) || codePoints[0] == u'_', "a letter or '_' first");
    for (const uint c : codePoints)
        require(QChar::isLetter(c) || (c >= u'0' && c <= u'9') || c == u'_' || c == u'$',
                "only name characters");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString text = textOf(data, size);
    checkAddress(text);
    checkSchema(text);
    return 0;
}
