// kvzconsole: a small management console that hosts the users-management module.
#include "ConnectionDialog.h"
#include "ConnectionProfiles.h"
#include "DbConnection.h"
#include "DbError.h"
#include "DemoSeed.h"
#include "HostOptions.h"
#include "HostWindow.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "NewDatabaseFile.h"
#include "Schema.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <initializer_list>
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

// Fills a database that has no management tables yet, as the options ask.
void createSite(DbConnection& connection, HostOptions::Create create) {
    createSchema(connection);
    if (create == HostOptions::Create::Demo)
        seedDemo(connection);
}

// Opens the management database, creating it only when the options ask for it. A new SQLite
// file appears whole or not at all; when another console created it meanwhile, it is opened as
// it is. Throws DbError with the reason.
std::unique_ptr<DbConnection> openDatabase(const HostOptions& options) {
    if (options.isNew) {
        auto created = createDatabaseFile(options.database, [&options](DbConnection& connection) {
            createSite(connection, options.create);
        });
        if (created)
            return created;
    }
    auto connection = DbConnection::open(options.database);
    if (schemaVersion(*connection) == 0) {
        if (options.create == HostOptions::Create::Never || connection->isReadOnly())
            throw DbError(u"not a management database"_s);
        createSite(*connection, options.create);
    }
    if (!connection->isReadOnly()) // a read-only database is shown as it is
        migrate(*connection);
    return connection;
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

// Opens the database chosen in the connection dialog; nothing when the dialog is cancelled. A
// choice that cannot be opened is reported and the dialog asks again. The choice is remembered.
std::unique_ptr<DbConnection> chooseDatabase(const QStringList& arguments,
                                             std::optional<HostOptions>& options) {
    ConnectionDialog dialog(ConnectionProfiles().recent());
    while (dialog.exec() == QDialog::Accepted) {
        QString error;
        options = parseHostOptions(arguments + dialog.arguments(), error);
        try {
            if (options) {
                auto connection = openDatabase(*options);
                const QString name = dialog.profileName();
                ConnectionProfiles().remember(
                    {name.isEmpty() ? databaseName(options->database) : name,
                     databaseArguments(options->database)},
                    dialog.keepPassword());
                return connection;
            }
        } catch (const DbError& e) {
            error = e.message();
        }
        QMessageBox::warning(&dialog, dialog.windowTitle(), GetString(u"ConnFailed"_s) + error);
    }
    return nullptr;
}

// Renders the connection dialog to file, for a look at it without a display.
int connectionDialogScreenshot(const QString& file) {
    ConnectionDialog dialog(ConnectionProfiles().recent());
    dialog.show();
    QCoreApplication::processEvents();
    return dialog.grab().save(file, "PNG") ? 0 : fail(u"cannot write the screenshot "_s + file);
}

// Whether a window system is there to show windows on.
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

bool hasArgument(int argc, char** argv, std::initializer_list<const char*> names) {
    for (int i = 1; i < argc; ++i) {
        for (const char* name : names) {
            if (std::strcmp(argv[i], name) == 0 ||
                (std::strncmp(argv[i], name, std::strlen(name)) == 0 &&
                 argv[i][std::strlen(name)] == '='))
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Help and screenshots need no display: they run on Qt's off-screen platform. A window
    // without a display cannot be shown: say how to run instead of aborting in Qt.
    if (!hasDisplay()) {
        if (!hasArgument(argc, argv, {"--help", "-h", "--screenshot"}))
            return fail(u"no display to show the window on; start it in a desktop session, or "
                        u"render the window into a picture with --screenshot FILE"_s);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"kvzconsole"_s);
    QString error;
    std::optional<HostOptions> options = parseHostOptions(QApplication::arguments(), error);
    if (!options)
        return fail(error);
    SetLanguage(options->language);
    QTranslator qtTranslator;
    useQtTranslation(options->language, qtTranslator);
    useCjkFont();

    if (options->chooseDatabase && !options->screenshot.isEmpty())
        return connectionDialogScreenshot(options->screenshot);

    HostWindow window;
    if (!window.loadModule(error))
        return fail(error);
    std::unique_ptr<DbConnection> connection;
    if (options->chooseDatabase) {
        connection = chooseDatabase(QApplication::arguments(), options);
        if (!connection)
            return 0; // cancelled
    } else {
        try {
            connection = openDatabase(*options);
        } catch (const DbError& e) {
            return fail(u"cannot open the database "_s + databaseName(options->database) + u": "_s +
                        e.message());
        }
        if (!options->fromProfile)
            ConnectionProfiles().remember(
                {databaseName(options->database), databaseArguments(options->database)}, false);
    }
    TLogonInfo logonInfo;
    fillLogonInfo(*options, logonInfo);
    logonInfo.Connection = connection.get();
    if (!window.openModule(logonInfo, error))
        return fail(error);
    window.showDatabase(databaseName(options->database));
    if (connection->isReadOnly())
        window.showReadOnlyNote();
    window.show();
    if (!options->screenshot.isEmpty())
        scheduleScreenshot(window, options->screenshot);
    const int result = QApplication::exec();
    window.closeModule();
    return result;
}
