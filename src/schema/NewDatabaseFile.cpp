#include "NewDatabaseFile.h"

#include "DbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

enum class Placed { Yes, TargetExists };

// Gives the finished file its final name unless one exists there: never replaces a file.
Placed placeFile(const QString& from, const QString& to) {
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_WRITE_THROUGH))
        return Placed::Yes;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return Placed::TargetExists;
    throw DbError(QStringLiteral("Cannot create ") + to + QStringLiteral(": ") +
                  qt_error_string(int(error)));
#else
    // A hard link fails when the name is taken; the temporary name goes with its owner.
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return Placed::Yes;
    if (errno == EEXIST)
        return Placed::TargetExists;
    throw DbError(QStringLiteral("Cannot create ") + to + QStringLiteral(": ") +
                  QString::fromLocal8Bit(std::strerror(errno)));
#endif
}

// The temporary database and the files SQLite keeps beside it.
void removeTemporary(const QString& path) {
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        QFile::remove(path + suffix);
}

// Builds the database under the temporary name and closes it, its log written back.
void buildAt(const QString& path, DbSettings settings,
             const std::function<void(DbConnection&)>& fill) {
    settings.sqlitePath = path;
    settings.readOnly = false;
    auto connection = DbConnection::open(settings);
    fill(*connection);
    connection.reset();
    if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
        throw DbError(QStringLiteral("The new database could not be written back: ") + path);
}

// An owner-only file of a new name beside the target, closed and left for the build: removed
// below whatever happens, never by the temporary file object (Windows cannot move a file
// that object still holds).
QString reserveTemporary(const QFileInfo& target) {
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX.new"));
    if (!file.open())
        throw DbError(QStringLiteral("Cannot create ") + target.filePath() + QStringLiteral(": ") +
                      file.errorString());
    file.setAutoRemove(false);
    return file.fileName();
}

} // namespace

std::unique_ptr<DbConnection> createDatabaseFile(const DbSettings& settings,
                                                 const std::function<void(DbConnection&)>& fill) {
    const QFileInfo target(settings.sqlitePath);
    const QString path = reserveTemporary(target);
    try {
        buildAt(path, settings, fill);
        const Placed placed = placeFile(path, target.absoluteFilePath());
        removeTemporary(path);
        if (placed == Placed::TargetExists)
            return nullptr;
    } catch (...) {
        removeTemporary(path);
        throw;
    }
    return DbConnection::open(settings);
}
