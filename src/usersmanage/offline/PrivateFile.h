#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QTemporaryFile>
#include <optional>
#include <system_error>

// A file written in a shared folder without exposing it half-made: the bytes go to an
// owner-only file of a random name beside the final path, which replaces the final path whole
// on commit. A link standing at the final path is replaced, never written through; a file never
// committed is removed. On Linux the file has no name at all until commit (Qt opens it with
// O_TMPFILE), so even a killed writer leaves nothing. Throws EPackageError with the reason in the
// user's language.
class PrivateFile {
public:
    explicit PrivateFile(QString path);

    void write(const QByteArray& bytes);
    // Puts the file in place, then gives it permissions.
    void commit(QFileDevice::Permissions permissions);

private:
    [[noreturn]] void fail(std::error_code error) const;

    QString m_path;
    std::optional<QTemporaryFile> m_file; // on Windows its handle closes only when it goes
};

// Why a file could not be written, in the user's language, ending with the file's path.
QString writeFailure(std::error_code error, const QString& path);
