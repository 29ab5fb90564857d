#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

class DbConnection;

// A package that cannot be built: a missing program, a folder or file that cannot be written.
class EPackageError : public std::runtime_error {
public:
    explicit EPackageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// What an offline authorization grants, as the client checks it.
struct OutAuthorization {
    QString hardNo;
    QString setTime; // date texts
    QString outTime;
    qint32 ctrl = 0;
    QString password; // as typed
};

// The five authorization lines, in the order the clients read them.
QStringList authorizationLines(const OutAuthorization& authorization);

// Year-month-day without leading zeros; the year always in four digits.
QString dateText(const QDate& date);

// The package's file name for a user: characters a Windows file name cannot hold become "_",
// so the package stays inside its folder; so do leading dots, which would hide the file.
QString packageFileName(const QString& userName);

// A policy file as the package carries it: its bare name and its bytes.
struct PolicyFile {
    QString name;
    QByteArray bytes;
};

// The lines, each ended by CR LF and the whole trimmed, enciphered under the policy-file key,
// as the only line of a policy file.
PolicyFile policyFile(const QString& name, const QStringList& lines);

// Appends the files (policy file first), their names and the size trailer to a copy of
// program, written as the user's package in folder. Returns the package's path. Throws
// EPackageError.
QString CompressExs(const QList<PolicyFile>& files, const QString& program, const QString& folder,
                    const QString& userName);

// One package order: whose policies, where to write, and what is granted.
struct OfflineOrder {
    DbConnection* connection = nullptr;
    qint32 uid = 0;
    QString userName;
    QString folder;
    QString program; // path of the offline client program
    OutAuthorization authorization;
};

// Builds the user's client and mail policy files and packs them into the folder (created with
// its parents). Returns the package's path. Throws EPackageError or DbError; nothing but the
// finished package ever appears in the folder.
QString SetOutLine(const OfflineOrder& order);

// Records an authorization delivered to a user: the user's UserOut row, created when missing,
// else its first row changed. Throws DbError.
void WriteUserOut(DbConnection* connection, qint32 uid, const OutAuthorization& granted);

// A user of a package order in bulk, and what is granted to them.
struct PackageGrant {
    qint32 uid = 0;
    QString userName;
    OutAuthorization authorization;
};

// Writes the package of every grant into folder, calling written(grant, path) after each, then
// records them all in one transaction: also when a package fails, the ones written before it are
// recorded before the failure is thrown on. Throws EPackageError or DbError.
void writePackages(DbConnection* connection, const QList<PackageGrant>& grants,
                   const QString& folder, const QString& program,
                   const std::function<void(const PackageGrant&, const QString&)>& written);
