#pragma once

#include "LogonInfo.h"

#include <QString>
#include <QtGlobal>

// Flag sets held as 32-bit masks: the flag with ordinal i is bit i. The ordinals are stored
// in the database and exchanged with the client agents and the host, so they never change.

// A user's rights over encrypted files (Users.Auths).
enum TUserAuths : qint32 { UA_REAURH, UA_DECRYP };

// System-wide switches (other.Ctrl).
enum SCtrlType : qint32 {
    Sc_KDOMINOUSER,
    Sc_KKEYCTRL,
    Sc_KDELOCAL,
    Sc_KDEAPPR,
    Sc_KDESERV,
    Sc_KSENDFILETOSEV,
    Sc_KLOGCALL,
    Sc_KENCASK,
    Sc_KDELASK,
    Sc_USERDC,
    Sc_ENCRYPDC,
    Sc_AUTOCLEARLOG,
    Sc_CUSTOMKEY,
    Sc_AUTHORITY,
    Sc_DBAUTOBAK,
    Sc_UNADDENEXE,
    Sc_LOCKENCEDIT,
    Sc_UNRECSYSLOG,
    Sc_ATDISKNO,
    Sc_ATDOMIUSER,
    Sc_ATUKEY
};

// Client control switches, written into client policies as "aCtrl=".
enum ACtrlType : qint32 {
    Ac_KCOPY,
    Ac_KPRINT,
    Ac_KSCPRT,
    Ac_KOLE,
    Ac_KCONNTIM,
    Ac_KSHUTDOWN,
    Ac_LOFFLINE,
    Ac_KAUTOENASK,
    Ac_LBAKPRTFILE,
    Ac_KUKEYCTRL,
    Ac_KUKEYSCREEN,
    Ac_KLOGUP,
    Ac_KBAKLOCAL,
    Ac_KBAKNET,
    Ac_KLACALBAK,
    Ac_KBAKDIRCT,
    Ac_KBAKDATE,
    Ac_KBAKORIG,
    Ac_KBAKBOTH,
    Ac_KBAKMAIL,
    Ac_UNRECPRINTLOG,
    Ac_KSNAPPRINT
};

// Second group of client switches, written into client policies as "kCtrl=".
enum KCtrlType : qint32 {
    Kc_KSAFEMODEL,
    Kc_KPROCRUN,
    Kc_KCLILOG,
    Kc_KUSB,
    Kc_KCDROM,
    Kc_KONLYEN,
    Kc_LOPENEN,
    Kc_KDELEN,
    Kc_KGENALL,
    Kc_KEXPLREN,
    Kc_KPROCFIG,
    Kc_KBACKFN,
    Kc_KBACKEN
};

// Rights of the signed-in administrator (TLogonInfo::AdminAuths).
enum TAdminAuth : qint32 {
    AA_GuidV,
    AA_GuidReg,
    AA_UserV,
    AA_UserEdepart,
    AA_UserEuser,
    AA_UserEauth,
    AA_UserC,
    AA_LogFlowV,
    AA_LogFlowE,
    AA_LogRiskV,
    AA_LogRiskE,
    AA_LogSysV,
    AA_LogSysE,
    AA_EnVrole,
    AA_EnVply,
    AA_EnErole,
    AA_EnEply,
    AA_EnUUpdate,
    AA_EnIn,
    AA_EnExport,
    AA_SysSet,
    AA_SysFlowV,
    AA_SysFlowE,
    AA_SysFlowA,
    AA_SysLGV,
    AA_SysLGE,
    AA_SysAdminV,
    AA_SysAdminE,
    AA_SysIntFace
};

// True when the flag's bit is set in mask.
KVZPUBLIC_EXPORT bool BT(qint32 mask, TUserAuths flag);
KVZPUBLIC_EXPORT bool BT(qint32 mask, SCtrlType flag);
KVZPUBLIC_EXPORT bool BT(qint32 mask, ACtrlType flag);
KVZPUBLIC_EXPORT bool BT(qint32 mask, KCtrlType flag);
KVZPUBLIC_EXPORT bool BT(qint32 mask, TAdminAuth flag);

// Adds the flag's bit value to mask arithmetically. Adding a flag that is already present
// carries into the next bit, so callers build masks from 0 and add each flag once.
KVZPUBLIC_EXPORT void AT(qint32& mask, TUserAuths flag);
KVZPUBLIC_EXPORT void AT(qint32& mask, SCtrlType flag);
KVZPUBLIC_EXPORT void AT(qint32& mask, ACtrlType flag);
KVZPUBLIC_EXPORT void AT(qint32& mask, KCtrlType flag);
KVZPUBLIC_EXPORT void AT(qint32& mask, TAdminAuth flag);

// True when text holds none of the characters a department name may not carry:
// " * / : < > ? \ |
KVZPUBLIC_EXPORT bool StrCheckValid(const QString& text);

// The first character of text that no name may hold, as "U+XXXX"; empty when there is none: a
// control character or half of a broken surrogate pair, which would be changed or cut on their
// way into the database, or an invisible format character (a zero-width space or joiner, a
// direction mark), which would make two names that read alike differ.
KVZPUBLIC_EXPORT QString InvalidCharOf(const QString& text);
