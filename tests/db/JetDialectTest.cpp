#include "JetDialect.h"

#include <gtest/gtest.h>

namespace {

QString onSqlite(const char* statement) {
    return translateJetStatement(QString::fromUtf8(statement), DbBackend::SQLite);
}

QString onPostgres(const char* statement) {
    return translateJetStatement(QString::fromUtf8(statement), DbBackend::PostgreSQL);
}

TEST(JetDialect, DeleteStarBecomesDeleteOnBothBackends) {
    EXPECT_EQ(onSqlite("delete * from usersort where id =3"),
              QStringLiteral("delete from usersort where id =3"));
    EXPECT_EQ(onPostgres("Delete  *  FROM users where Uid in (1,2)"),
              QStringLiteral("delete from users where Uid in (1,2)"));
    EXPECT_EQ(onSqlite("delete *from Users"), QStringLiteral("delete from Users"));
}

TEST(JetDialect, QualifiedGroupIsQuotedOnSqliteOnly) {
    const char* statement = "select UR.Group as DefGroups, UR.Level as DefL, U.Groups from X";
    EXPECT_EQ(
        onSqlite(statement),
        QStringLiteral(R"(select UR."Group" as DefGroups, UR.Level as DefL, U.Groups from X)"));
    EXPECT_EQ(onPostgres(statement), QString::fromUtf8(statement));
    EXPECT_EQ(onSqlite("select ur.GROUP from UserRole ur"),
              QStringLiteral(R"(select ur."GROUP" from UserRole ur)"));
}

TEST(JetDialect, LiteralsAndQuotedNamesAreLeftAlone) {
    EXPECT_EQ(
        onSqlite("update Users set ScanTime='it''s UR.Group; delete * from x' where uid=3"),
        QStringLiteral("update Users set ScanTime='it''s UR.Group; delete * from x' where uid=3"));
    EXPECT_EQ(
        onSqlite(R"(select "UR.Group" from t where a = 'delete * from' and UR.Group = 1)"),
        QStringLiteral(R"(select "UR.Group" from t where a = 'delete * from' and UR."Group" = 1)"));
    // An unterminated literal swallows the rest of the statement unchanged.
    EXPECT_EQ(onSqlite("select 'delete * from"), QStringLiteral("select 'delete * from"));
}

TEST(JetDialect, OtherStatementsPassUnchanged) {
    const char* statements[] = {
        "SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR ON "
        "U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where Uid = 5",
        "select count(*) from users where UserName like '%张%' and OnLined <> 0",
        "Insert Into usersort (pid,name) values (:p,:n)",
        "select * from UserSort group by pid", // a GROUP BY clause is no qualified column
    };
    for (const char* statement : statements) {
        EXPECT_EQ(onSqlite(statement), QString::fromUtf8(statement));
        EXPECT_EQ(onPostgres(statement), QString::fromUtf8(statement));
    }
}

} // namespace
