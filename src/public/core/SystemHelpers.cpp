#include "SystemHelpers.h"

#include <QFile>
#include <QMetaProperty>
#include <QObject>
#include <QStandardPaths>

#include <map>

QString GetWindowsVersion() {
#ifdef _WIN32
    return QString::fromLocal8Bit(ReadWindowsVersion());
#else
    QFile osRelease(QStringLiteral("/etc/os-release"));
    const QByteArray text =
        osRelease.open(QIODevice::ReadOnly) ? osRelease.readAll() : QByteArray();
    return QString::fromStdString(OsReleaseVersionText(text.toStdString()));
#endif
}

QString GetSpecialFolder(TSpecialFolder folder) {
#ifdef _WIN32
    return QString::fromLocal8Bit(ShellFolderPath(folder));
#else
    using Location = QStandardPaths::StandardLocation;
    static const std::map<TSpecialFolder, Location> counterparts = {
        {TSpecialFolder::sfDesktop, QStandardPaths::DesktopLocation},
        {TSpecialFolder::sfDesktopDirectory, QStandardPaths::DesktopLocation},
        {TSpecialFolder::sfPersonal, QStandardPaths::DocumentsLocation},
        {TSpecialFolder::sfMyDocuments, QStandardPaths::DocumentsLocation},
        {TSpecialFolder::sfMyMusic, QStandardPaths::MusicLocation},
        {TSpecialFolder::sfMyVideo, QStandardPaths::MoviesLocation},
        {TSpecialFolder::sfMyPictures, QStandardPaths::PicturesLocation},
        {TSpecialFolder::sfFonts, QStandardPaths::FontsLocation},
        {TSpecialFolder::sfPrograms, QStandardPaths::ApplicationsLocation},
        {TSpecialFolder::sfAppData, QStandardPaths::GenericConfigLocation},
        {TSpecialFolder::sfLocalAppData, QStandardPaths::GenericDataLocation},
        {TSpecialFolder::sfInternetCache, QStandardPaths::GenericCacheLocation},
        {TSpecialFolder::sfProfile, QStandardPaths::HomeLocation},
    };
    const auto found = counterparts.find(folder);
    return found == counterparts.end() ? QString()
                                       : QStandardPaths::writableLocation(found->second);
#endif
}

bool IsValidIP(const QString& text) {
    const std::string bytes = text.toStdString();
    return IsValidIP(std::string_view(bytes));
}

bool IsDottedQuad(const QString& text) {
    const std::string bytes = text.toStdString();
    return IsDottedQuad(std::string_view(bytes));
}

bool FindProperty(const QObject* object, const QString& name) {
    if (object == nullptr) {
        return false;
    }
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        if (QString::fromLatin1(meta->property(i).name()).toUpper() == name.toUpper()) {
            return true;
        }
    }
    return false;
}
