#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A database the console has opened: the host options that name it ("--sqlite FILE", or
// "--pg ADDRESS --pg-user USER ..."), under a name the user gave or the database's own.
struct ConnectionProfile {
    QString name;
    QStringList arguments;
    bool operator==(const ConnectionProfile&) const = default;
};

// The connections the console opened, most recent first, kept in a file only its owner can read.
// A password is kept only when the user asked for it; otherwise it is dropped before saving.
class ConnectionProfiles {
public:
    static constexpr int MaxRecent = 10;
    // The file in the user's configuration folder.
    static QString defaultFile();

    explicit ConnectionProfiles(QString file = defaultFile());
    QList<ConnectionProfile> recent() const;
    std::optional<ConnectionProfile> find(const QString& name) const;
    // Puts the connection first (replacing one of the same name); false when it cannot be saved.
    bool remember(ConnectionProfile profile, bool keepPassword);

private:
    QString m_file;
};

// The arguments without the password and its value.
QStringList withoutPassword(const QStringList& arguments);
