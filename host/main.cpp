// kvzconsole: a small management console that hosts the users-management module.
#include "DbConnection.h"
#include "DbError.h"
#include "DemoSeed.h"
#include "HostOptions.h"
#include "HostWindow.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "Schema.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "kvzconsole: %s\n", message.simplified().toLocal8Bit().constData());
    return 1;
}

void useCjkFont() {
    for (const QString& family : {u"Noto Sans CJK SC"_s, u"Noto Serif CJK SC"_s}) {
        if (QFontDatabase::families().contains(family)) {
            QFont font(family);
            font.setPointSize(QApplication::font().pointSize());
            QApplication::setFont(font);
            return;
        }
    }
}

// Qt's own texts (the Yes and No of message boxes, the context menus of edit boxes) in the
// console's language; English needs none.
void useQtTranslation(const QString& language, QTranslator& translator) {
    if (language == u"chs" &&
        translator.load(u"qtbase_zh_CN"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}

// Opens the management database; a new SQLite file is created with the demo site (and removed
// again when that fails). Throws DbError with the reason.
std::unique_ptr<DbConnection> openDatabase(const HostOptions& options) {
    if (options.createIfMissing) {
        const QString path = options.database.sqlitePath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        try {
            auto connection = DbConnection::open(options.database);
            createSchema(*connection);
            seedDemo(*connection);
            return connection;
        } catch (const DbError&) {
            QFile::remove(path);
            throw;
        }
    }
    auto connection = DbConnection::open(options.database);
    if (schemaVersion(*connection) == 0)
        throw DbError(u"not a management database"_s);
    migrate(*connection);
    return connection;
}

QString databaseName(const HostOptions& options) {
    const DbSettings& db = options.database;
    if (db.backend == DbBackend::SQLite)
        return db.sqlitePath;
    return db.host + u':' + QString::number(db.port) + u'/' + db.database;
}

// Renders the window to file once it is shown and laid out, then quits with the outcome.
void scheduleScreenshot(HostWindow& window, const QString& file) {
    QTimer::singleShot(300, &window, [&window, file] {
        QCoreApplication::processEvents();
        if (!window.grab().save(file, "PNG")) {
            fail(u"cannot write the screenshot "_s + file);
            QCoreApplication::exit(1);
            return;
        }
        QCoreApplication::exit(0);
    });
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"kvzconsole"_s);
    QString error;
    const std::optional<HostOptions> options = parseHostOptions(QApplication::arguments(), error);
    if (!options)
        return fail(error);
    SetLanguage(options->language);
    QTranslator qtTranslator;
    useQtTranslation(options->language, qtTranslator);
    useCjkFont();

    HostWindow window;
    if (!window.loadModule(error))
        return fail(error);
    std::unique_ptr<DbConnection> connection;
    try {
        connection = openDatabase(*options);
    } catch (const DbError& e) {
        return fail(u"cannot open the database "_s + databaseName(*options) + u": "_s +
                    e.message());
    }
    TLogonInfo logonInfo;
    fillLogonInfo(*options, logonInfo);
    logonInfo.Connection = connection.get();
    if (!window.openModule(logonInfo, error))
        return fail(error);
    window.show();
    if (!options->screenshot.isEmpty())
        scheduleScreenshot(window, options->screenshot);
    const int result = QApplication::exec();
    window.closeModule();
    return result;
}
