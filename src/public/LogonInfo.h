#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#if defined(KVZPUBLIC_LIBRARY)
#define KVZPUBLIC_EXPORT Q_DECL_EXPORT
#else
#define KVZPUBLIC_EXPORT Q_DECL_IMPORT
#endif

class DbConnection;
class QWidget;

// The console's theme; the last value is the theme colour (0x00BBGGRR).
struct TSkinRec {
    QString Name;
    QString Path;
    qint32 Value1 = 0;
    qint32 Value2 = 0;
    qint32 Value3 = 0;
    qint32 Color = 0;
};

// Logon context: filled by the host, read by the module. The module writes back only
// CurDepartId. Host and module share this one declaration; the host owns the object.
class KVZPUBLIC_EXPORT TLogonInfo : public QObject {
    Q_OBJECT
public:
    explicit TLogonInfo(QObject* parent = nullptr) : QObject(parent) {}

    DbConnection* Connection = nullptr;
    QWidget* ParentPanel = nullptr;
    qint32 CurDepartId = 0;
    QString IniFileName;
    QString AdminName;
    QString OutDir;
    qint32 AdminAuths = 0;
    TSkinRec Skin;
    QString UKey;
    QString HKey;
    qint32 ServerPort = 0;
    qint32 ClientPort = 0;
    QString RootName;
    quint8 KeyOptions = 0;
    QString HKeyAlt;

    // Host-side fields.
    QString Language;                               // "chs" or "eng"
    QByteArray CodePage = QByteArrayLiteral("GBK"); // narrow code page of byte texts
    QStringList Internal;                           // kept for the host; unused by the module
    qint32 CommandConnectMs = 3000;                 // bound of reaching a client agent
    qint32 CommandAnswerMs = 15000;                 // bound of its answer once reached
    qint32 CommandConcurrency = 256;                // bulk command: reaching agents at once
};

// The logon context in force. The module sets a default one at load and the host's one
// at OpenFormWithLogonInfo; never freed through this pointer.
extern KVZPUBLIC_EXPORT TLogonInfo* LogonInfo;
