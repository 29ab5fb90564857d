#include "PrivateFile.h"

#include "Multilanguage.h"
#include "OfflinePackage.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <filesystem>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::filesystem::path nativePath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

bool outOfSpace(std::error_code error) {
#ifdef EDQUOT
    if (error == std::error_code(EDQUOT, std::generic_category()))
        return true;
#endif
    return error == std::errc::no_space_on_device || error == std::errc::file_too_large;
}

} // namespace

PrivateFile::PrivateFile(QString path) : m_path(std::move(path)) {
    const QFileInfo target(m_path);
    // A new name of its own, created owner-only; an existing name (or link) is never opened.
    m_file.emplace(target.absoluteDir().filePath(u'.' + target.fileName() + u".XXXXXX"_s));
    errno = 0;
    if (!m_file->open())
        fail(lastError());
}

void PrivateFile::write(const QByteArray& bytes) {
    errno = 0;
    if (m_file->write(bytes) != bytes.size())
        fail(lastError());
}

void PrivateFile::commit(QFileDevice::Permissions permissions) {
    errno = 0;
    if (!m_file->flush())
        fail(lastError());
#ifdef Q_OS_WIN
    // Whole on the disk before it replaces the old file; Windows moves no file still open.
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(m_file->handle()))))
        fail(std::error_code(int(GetLastError()), std::system_category()));
    const QString temporary = m_file->fileName();
    m_file->setAutoRemove(false);
    m_file.reset();
    std::error_code error;
    std::filesystem::rename(nativePath(temporary), nativePath(m_path), error);
    if (error) {
        QFile::remove(temporary);
        fail(error);
    }
    QFile::setPermissions(m_path, permissions);
#else
    if (::fsync(m_file->handle()) != 0) // whole on the disk before it replaces the old file
        fail(lastError());
    std::error_code error;
    std::filesystem::rename(nativePath(m_file->fileName()), nativePath(m_path), error);
    if (error)
        fail(error);
    m_file->setAutoRemove(false);
    // Through the open file, not its name: the permissions reach this file and no other.
    m_file->setPermissions(permissions);
    m_file->close();
#endif
}

void PrivateFile::fail(std::error_code error) const {
    if (!error)
        error = std::make_error_code(std::errc::io_error);
    throw EPackageError(writeFailure(error, QDir::toNativeSeparators(m_path)));
}

QString writeFailure(std::error_code error, const QString& path) {
    if (outOfSpace(error))
        return GetString(u"OutNoSpace"_s) + path;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return GetString(u"OutNoAccess"_s) + path;
    if (error == std::errc::read_only_file_system)
        return GetString(u"OutReadOnly"_s) + path;
    return GetString(u"OutWriteFailed"_s) + path + u" ("_s +
           QString::fromLocal8Bit(error.message()) + u')';
}
