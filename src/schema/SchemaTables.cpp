#include "SchemaTables.h"

namespace {

using L = QLatin1String;

ColumnDef autoNumber(const char* name) {
    return {L(name), ColumnType::AutoNumber, L()};
}

ColumnDef integer(const char* name, const char* defaultValue = "0") {
    return {L(name), ColumnType::Integer, L(defaultValue)};
}

ColumnDef nullableInteger(const char* name) {
    return {L(name), ColumnType::Integer, L()};
}

ColumnDef yesNo(const char* name) {
    return {L(name), ColumnType::YesNo, L("0")};
}

ColumnDef text(const char* name) {
    return {L(name), ColumnType::Text, L("''")};
}

std::vector<TableDef> buildTables() {
    return {
        {L("UserSort"),
         {autoNumber("id"), integer("pid"), text("name"), nullableInteger("DRole"), yesNo("ctrl"),
          yesNo("used")},
         {L("id")}},
        {L("Users"),
         {autoNumber("Uid"), integer("Pid"), text("UserName"), text("Password"), integer("RoleId"),
          text("uKeyNo"), integer("Auths"), integer("uLevel"), text("Groups"), text("Ip"),
          text("ComputerName"), text("CliVer"), text("HardNo"), yesNo("Onlined"), text("ScanTime")},
         {L("Uid")}},
        {L("UserRole"),
         {nullableInteger("Rid"), text("RName"), integer("Level"), integer("Group"), text("PlyIDs"),
          integer("aCtrl"), integer("kCtrl"), integer("ConTime"), text("BakPath"),
          integer("BakNum"), text("BakSev"), integer("BakPort"), integer("AskEnTime"),
          text("UnlawExe"), text("AuthExe"), text("PLMUrl"), text("EnDirs"), text("DeDirs"),
          integer("MailLevel")},
         {L("Rid")}},
        {L("EnLevel"), {nullableInteger("LId"), text("LName")}, {L("LId")}},
        {L("EnGroup"), {nullableInteger("GId"), text("GName")}, {L("GId")}},
        {L("other"),
         {nullableInteger("id"), integer("Ctrl"), integer("depart"), text("ScreenText")},
         {L("id")}},
        {L("TaskScan"),
         {nullableInteger("Uid"), text("name"), text("ip"), text("begin"), integer("type")},
         {L("Uid")}},
        {L("UserOut"),
         {nullableInteger("uid"), integer("ctrl"), text("outdate"), text("pass")},
         {L("uid")}},
        {L("PlyFile"),
         {nullableInteger("Fid"), text("exes"), integer("entype"), text("sufs"), text("exsufs"),
          text("expaths")},
         {L("Fid")}},
        {L("PlyMailSort"),
         {nullableInteger("id"), integer("pid"), text("name"), integer("Comm")},
         {L("id")}},
        {L("PlyMail"), {nullableInteger("id"), text("name"), text("mail")}, {L("id")}},
        {L("PlyMailGroup"), {nullableInteger("sid"), nullableInteger("mid")}, {L("sid"), L("mid")}},
        {L("PlyMailRole"), {nullableInteger("rid"), nullableInteger("sid")}, {L("rid"), L("sid")}},
        {L("FlowChart"), {nullableInteger("FID"), text("FName"), integer("Comm")}, {L("FID")}},
        {L("FlowUser"), {nullableInteger("FID"), nullableInteger("uid")}, {L("FID"), L("uid")}},
        {L("LogAct"),
         {autoNumber("id"), text("Lwhen"), text("Lwho"), text("Lwhere"), text("Lhow"),
          text("Lwhat"), text("Lresult")},
         {L("id")}},
    };
}

} // namespace

const std::vector<TableDef>& managementTables() {
    static const std::vector<TableDef> tables = buildTables();
    return tables;
}

const std::vector<IndexDef>& managementIndexes() {
    static const std::vector<IndexDef> indexes = {
        {L("ix_users_pid"), L("Users"), {L("Pid")}},
        {L("ix_users_roleid"), L("Users"), {L("RoleId")}},
        {L("ix_usersort_pid_id"), L("UserSort"), {L("pid"), L("id")}},
        {L("ix_usersort_name"), L("UserSort"), {L("name")}},
    };
    return indexes;
}
