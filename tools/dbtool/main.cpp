// kvzdb: creates the management tables, seeds the demo site or generates a large site.
//
//   kvzdb --sqlite FILE create|seed|generate [--users N] [--departments M] [--seed S]
//   kvzdb --pg HOST:PORT/DB --pg-user U [--pg-password P] [--pg-schema S] [--pg-sslmode M]
//         create|seed|generate
//   (--user, --password and --schema are accepted too)
//
// "seed" and "generate" create the tables first when they are missing.
#include "DbConnection.h"
#include "DbError.h"
#include "DemoSeed.h"
#include "LargeSite.h"
#include "NewDatabaseFile.h"
#include "Schema.h"
#include "TerminalProgress.h"
#include "ToolDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <optional>

namespace {

struct Options {
    DbSettings settings;
    QString command;
    int users = 100000;
    int departments = 20000;
    quint32 seed = 1;
};

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

bool parseCount(const QCommandLineParser& parser, const QString& name, int& target) {
    if (!parser.isSet(name)) {
        return true;
    }
    bool ok = false;
    target = parser.value(name).toInt(&ok);
    return ok && target >= 0;
}

std::optional<Options> parseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates, seeds and fills management databases."));
    parser.addHelpOption();
    addToolDatabaseOptions(parser);
    parser.addOptions({
        {QStringLiteral("users"), QStringLiteral("Users to generate (100000)."),
         QStringLiteral("n")},
        {QStringLiteral("departments"), QStringLiteral("Departments to generate (20000)."),
         QStringLiteral("n")},
        {QStringLiteral("seed"), QStringLiteral("Random seed of the generator (1)."),
         QStringLiteral("n")},
    });
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("create, seed or generate"));
    parser.process(app);

    Options options;
    const QStringList positional = parser.positionalArguments();
    options.command = positional.value(0);
    if (positional.size() != 1 ||
        !QStringList{QStringLiteral("create"), QStringLiteral("seed"), QStringLiteral("generate")}
             .contains(options.command)) {
        err() << "kvzdb: give one command: create, seed or generate\n";
        return std::nullopt;
    }
    if (const auto error = readToolDatabase(parser, SqliteFile::MayBeCreated, options.settings)) {
        err() << "kvzdb: " << *error << '\n';
        return std::nullopt;
    }
    int seed = int(options.seed);
    if (!parseCount(parser, QStringLiteral("users"), options.users) ||
        !parseCount(parser, QStringLiteral("departments"), options.departments) ||
        !parseCount(parser, QStringLiteral("seed"), seed)) {
        err() << "kvzdb: --users, --departments and --seed take a non-negative number\n";
        return std::nullopt;
    }
    options.seed = quint32(seed);
    return options;
}

void build(DbConnection& connection, const Options& options) {
    QElapsedTimer timer;
    timer.start();
    createSchema(connection);
    out() << "schema version " << schemaVersion(connection) << " ready in " << timer.elapsed()
          << " ms\n";
    timer.restart();
    if (options.command == QStringLiteral("seed")) {
        seedDemo(connection);
        out() << "demo site seeded in " << timer.elapsed() << " ms\n";
    } else if (options.command == QStringLiteral("generate")) {
        out().flush(); // before the progress line on the same terminal
        TerminalProgress progress(QStringLiteral("generating"));
        generateLargeSite(connection, options.users, options.departments, options.seed,
                          [&progress](qint64 done, qint64 total) { progress.update(done, total); });
        out() << options.users << " users and " << options.departments
              << " departments generated in " << timer.elapsed() << " ms\n";
    }
}

// A new SQLite file appears complete or not at all, readable by its owner only.
void run(const Options& options) {
    const DbSettings& settings = options.settings;
    if (settings.backend == DbBackend::SQLite && !QFileInfo::exists(settings.sqlitePath) &&
        createDatabaseFile(settings, [&options](DbConnection& c) { build(c, options); }))
        return;
    build(*DbConnection::open(settings), options);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvzdb"));
    const std::optional<Options> options = parseOptions(app);
    if (!options) {
        return 2;
    }
    try {
        run(*options);
    } catch (const DbError& error) {
        err() << "kvzdb: " << error.message() << '\n';
        return 1;
    }
    return 0;
}
