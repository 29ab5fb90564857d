#include "OfflinePackage.h"

#include "DbQuery.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "NarrowText.h"
#include "OfflinePolicy.h"
#include "StringCipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

const QByteArray PolicyKey = QByteArrayLiteral("qv");
const QByteArray Marker = QByteArrayLiteral("Client");
constexpr qint64 CopyChunk = 64 * 1024;

void copyBytes(QIODevice& from, QSaveFile& to, qint64 count, const QString& name) {
    QByteArray buffer;
    while (count > 0) {
        buffer = from.read(std::min(count, CopyChunk));
        if (buffer.isEmpty())
            throw EPackageError(u"Cannot read "_s + name);
        if (to.write(buffer) != buffer.size())
            throw EPackageError(u"Cannot write "_s + to.fileName() + u": "_s + to.errorString());
        count -= buffer.size();
    }
}

void copyFile(const QString& path, qint64 size, QSaveFile& to) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EPackageError(u"Cannot open "_s + path + u": "_s + file.errorString());
    copyBytes(file, to, size, path);
}

void writeLE32(QSaveFile& to, qint64 value) {
    const quint32 little = qToLittleEndian(quint32(value));
    to.write(reinterpret_cast<const char*>(&little), sizeof little);
}

bool forbiddenInFileName(QChar c) {
    return c.unicode() < 32 || u"<>:\"/\\|?*"_s.contains(c);
}

// Removes the policy files however the package ends.
struct RemoveFiles {
    QStringList paths;
    ~RemoveFiles() {
        for (const QString& path : paths)
            QFile::remove(path);
    }
};

} // namespace

QStringList authorizationLines(const OutAuthorization& a) {
    return {u"OutHardNo="_s + a.hardNo, u"SetTime="_s + a.setTime, u"OutTime="_s + a.outTime,
            u"OutCtrl="_s + QString::number(a.ctrl), u"OutPW="_s + a.password};
}

QString dateText(const QDate& date) {
    return QString::number(date.year()).rightJustified(4, u'0') + u'-' +
           QString::number(date.month()) + u'-' + QString::number(date.day());
}

QString packageFileName(const QString& userName) {
    QString name = userName.trimmed();
    for (QChar& c : name) {
        if (forbiddenInFileName(c))
            c = u'_';
    }
    // Leading dots would hide the file, or name the folder above.
    for (qsizetype i = 0; i < name.size() && name[i] == u'.'; ++i)
        name[i] = u'_';
    if (name.isEmpty())
        name = u"_"_s;
    return name + u"_OutYXP.exe"_s;
}

void writePolicyFile(const QString& path, const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + u"\r\n"_s;
    const QByteArray cipher =
        En(toNarrow(trimControls(text), LogonInfo->CodePage), PolicyKey, true);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(cipher + "\r\n") != cipher.size() + 2 ||
        !file.commit())
        throw EPackageError(u"Cannot write "_s + path + u": "_s + file.errorString());
}

QString CompressExs(const QStringList& files, const QString& program, const QString& userName) {
    if (files.isEmpty())
        throw EPackageError(GetString(u"FilePackFailed"_s));
    const QFileInfo programInfo(program);
    if (!programInfo.isFile())
        throw EPackageError(u"Cannot find "_s + QDir::toNativeSeparators(program));
    const QString path = QFileInfo(files.first()).absoluteDir().filePath(packageFileName(userName));
    QSaveFile package(path);
    if (!package.open(QIODevice::WriteOnly))
        throw EPackageError(u"Cannot write "_s + path + u": "_s + package.errorString());
    const qint64 programSize = programInfo.size();
    copyFile(program, programSize, package);
    package.write(Marker);
    QList<qint64> sizes;
    for (const QString& file : files) {
        sizes.append(QFileInfo(file).size());
        copyFile(file, sizes.last(), package);
    }
    QList<qint64> nameLengths;
    for (const QString& file : files) {
        const QByteArray name = toNarrow(QFileInfo(file).fileName(), LogonInfo->CodePage);
        package.write(name);
        nameLengths.append(name.size());
    }
    for (const qint64 value : QList<qint64>{programSize, Marker.size()} + sizes + nameLengths)
        writeLE32(package, value);
    writeLE32(package, 2 * files.size() + 3);
    if (!package.commit())
        throw EPackageError(u"Cannot write "_s + path + u": "_s + package.errorString());
    for (const QString& file : files)
        QFile::remove(file);
    QFile::setPermissions(path, programInfo.permissions()); // runnable as the program is
    return path;
}

QString SetOutLine(const OfflineOrder& order) {
    if (!QDir().mkpath(order.folder))
        throw EPackageError(u"Cannot create "_s + QDir::toNativeSeparators(order.folder));
    const QDir folder(order.folder);
    RemoveFiles written;
    QStringList lines;
    GetPly(order.connection, order.uid, lines);
    lines += authorizationLines(order.authorization);
    written.paths.append(folder.filePath(u"Exply.dat"_s));
    writePolicyFile(written.paths.last(), lines);
    lines.clear();
    GetMailPly(order.connection, QString::number(order.uid), lines);
    written.paths.append(folder.filePath(u"Mail.dat"_s));
    writePolicyFile(written.paths.last(), lines);
    return CompressExs(written.paths, order.program, order.userName);
}

void WriteUserOut(DbConnection* connection, qint32 uid, const OutAuthorization& granted) {
    DbQuery query(connection);
    query.setSql(u"select * from UserOut where uid="_s + QString::number(uid));
    query.open();
    if (query.isEmpty()) {
        query.append();
        query.setValue(u"uid"_s, uid);
    } else {
        query.edit();
    }
    query.setValue(u"ctrl"_s, granted.ctrl);
    query.setValue(u"outdate"_s, granted.outTime);
    query.setValue(u"pass"_s, granted.password);
    query.post();
}
