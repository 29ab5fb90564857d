#include "OfflinePackage.h"

#include "DbQuery.h"
#include "DbTransaction.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "NarrowText.h"
#include "OfflinePolicy.h"
#include "PackageLayout.h"
#include "PrivateFile.h"
#include "StringCipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

const QByteArray PolicyKey = QByteArrayLiteral("qv");
constexpr qint64 CopyChunk = 64 * 1024;

// The program, read in pieces into the package.
void copyProgram(const QString& program, qint64 size, PrivateFile& to) {
    QFile file(program);
    if (!file.open(QIODevice::ReadOnly))
        throw EPackageError(u"Cannot open "_s + program + u": "_s + file.errorString());
    while (size > 0) {
        const QByteArray buffer = file.read(std::min(size, CopyChunk));
        if (buffer.isEmpty())
            throw EPackageError(u"Cannot read "_s + program);
        to.write(buffer);
        size -= buffer.size();
    }
}

bool forbiddenInFileName(QChar c) {
    return c.unicode() < 32 || u"<>:\"/\\|?*"_s.contains(c);
}

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

PolicyFile policyFile(const QString& name, const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + u"\r\n"_s;
    return {name, En(toNarrow(trimControls(text), LogonInfo->CodePage), PolicyKey, true) + "\r\n"};
}

QString CompressExs(const QList<PolicyFile>& files, const QString& program, const QString& folder,
                    const QString& userName) {
    if (files.isEmpty())
        throw EPackageError(GetString(u"FilePackFailed"_s));
    const QFileInfo programInfo(program);
    if (!programInfo.isFile())
        throw EPackageError(u"Cannot find "_s + QDir::toNativeSeparators(program));
    const QString path = QDir(folder).absoluteFilePath(packageFileName(userName));
    PrivateFile package(path);
    const qint64 programSize = programInfo.size();
    copyProgram(program, programSize, package);
    std::vector<PackedFile> packed;
    for (const PolicyFile& file : files)
        packed.push_back(
            {toNarrow(file.name, LogonInfo->CodePage).toStdString(), file.bytes.toStdString()});
    package.write(QByteArray::fromStdString(PackageAppendix(programSize, packed)));
    package.commit(programInfo.permissions()); // runnable as the program is
    return path;
}

QString SetOutLine(const OfflineOrder& order) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(order.folder.toStdU16String()),
                                        error);
    if (error)
        throw EPackageError(writeFailure(error, QDir::toNativeSeparators(order.folder)));
    QStringList lines;
    GetPly(order.connection, order.uid, lines);
    lines += authorizationLines(order.authorization);
    const PolicyFile policy = policyFile(u"Exply.dat"_s, lines);
    lines.clear();
    GetMailPly(order.connection, QString::number(order.uid), lines);
    return CompressExs({policy, policyFile(u"Mail.dat"_s, lines)}, order.program, order.folder,
                       order.userName);
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

void writePackages(DbConnection* connection, const QList<PackageGrant>& grants,
                   const QString& folder, const QString& program,
                   const std::function<void(const PackageGrant&, const QString&)>& written) {
    qsizetype done = 0;
    std::exception_ptr failure;
    try {
        for (const PackageGrant& grant : grants) {
            written(grant, SetOutLine({connection, grant.uid, grant.userName, folder, program,
                                       grant.authorization}));
            ++done;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (done > 0) {
        DbTransaction whole(*connection);
        for (const PackageGrant& grant : grants.first(done))
            WriteUserOut(connection, grant.uid, grant.authorization);
        whole.commit();
    }
    if (failure)
        std::rethrow_exception(failure);
}
