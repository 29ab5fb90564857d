#include "ConnectionProfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString PasswordOption = u"--pg-password"_s;
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Creates the file, empty and readable by its owner only, before anything is written to it.
bool prepareOwnerOnly(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    return file.setPermissions(OwnerOnly);
}
} // namespace

QStringList withoutPassword(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == PasswordOption)
            ++i; // and its value
        else if (!arguments[i].startsWith(PasswordOption + u'='))
            kept.append(arguments[i]);
    }
    return kept;
}

QString ConnectionProfiles::defaultFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(u"connections.ini"_s);
}

ConnectionProfiles::ConnectionProfiles(QString file) : m_file(std::move(file)) {}

QList<ConnectionProfile> ConnectionProfiles::recent() const {
    QSettings settings(m_file, QSettings::IniFormat);
    QList<ConnectionProfile> profiles;
    const int count = std::min(settings.beginReadArray(u"connections"_s), MaxRecent);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        ConnectionProfile profile{settings.value(u"name"_s).toString(),
                                  settings.value(u"arguments"_s).toStringList()};
        if (!profile.name.isEmpty() && !profile.arguments.isEmpty())
            profiles.append(profile);
    }
    settings.endArray();
    return profiles;
}

std::optional<ConnectionProfile> ConnectionProfiles::find(const QString& name) const {
    for (const ConnectionProfile& profile : recent()) {
        if (profile.name == name)
            return profile;
    }
    return std::nullopt;
}

bool ConnectionProfiles::remember(ConnectionProfile profile, bool keepPassword) {
    if (!keepPassword)
        profile.arguments = withoutPassword(profile.arguments);
    QList<ConnectionProfile> profiles = recent();
    profiles.removeIf([&](const ConnectionProfile& p) { return p.name == profile.name; });
    profiles.prepend(profile);
    if (!prepareOwnerOnly(m_file))
        return false;
    QSettings settings(m_file, QSettings::IniFormat);
    settings.remove(u"connections"_s);
    settings.beginWriteArray(u"connections"_s);
    for (int i = 0; i < std::min<int>(profiles.size(), MaxRecent); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(u"name"_s, profiles[i].name);
        settings.setValue(u"arguments"_s, profiles[i].arguments);
    }
    settings.endArray();
    settings.sync();
    return settings.status() == QSettings::NoError;
}
