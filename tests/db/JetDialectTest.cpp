#include "JetDialect.h"
#include "DbConnection.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Each Jet statement with what SQLite and PostgreSQL receive.
TEST(JetDialect, TranslatesOnlyDeleteStarAndQualifiedGroup) {
    const QString userJoin = u"SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR "
                             u"ON U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id"_s;
    const QString group = u"select UR.Group as DefGroups, UR.Level as DefL, U.Groups from X"_s;
    const QString literal = u"update Users set ScanTime='it''s UR.Group; delete * from x'"_s;
    const QString quoted = u"select \"UR.Group\" from t where a = 'delete * from' and UR.Group"_s;
    const struct {
        QString jet, sqlite, postgres;
    } cases[] = {
        {u"delete * from usersort where id =3"_s, u"delete from usersort where id =3"_s, {}},
        {u"Delete  *  FROM users where Uid in (1,2)"_s,
         u"delete from users where Uid in (1,2)"_s,
         {}},
        {u"delete *from Users"_s, u"delete from Users"_s, {}},
        {group, u"select UR.\"Group\" as DefGroups, UR.Level as DefL, U.Groups from X"_s, group},
        {u"select ur.GROUP from UserRole ur"_s, u"select ur.\"GROUP\" from UserRole ur"_s,
         u"select ur.GROUP from UserRole ur"_s},
        // Literals and quoted names are left alone, even unterminated ones.
        {literal, literal, literal},
        {quoted, u"select \"UR.Group\" from t where a = 'delete * from' and UR.\"Group\""_s,
         quoted},
        {u"select 'delete * from"_s, u"select 'delete * from"_s, u"select 'delete * from"_s},
        // Everything else passes unchanged; a GROUP BY clause is no qualified column.
        {userJoin, userJoin, userJoin},
        {u"select count(*) from users where UserName like '%张%' and OnLined <> 0"_s, {}, {}},
        {u"Insert Into usersort (pid,name) values (:p,:n)"_s, {}, {}},
        {u"select * from UserSort group by pid"_s, {}, {}},
    };
    for (const auto& [jet, sqlite, postgres] : cases) {
        const QString onSqlite = sqlite.isNull() ? jet : sqlite;
        const QString onPostgres = postgres.isNull() ? onSqlite : postgres;
        EXPECT_EQ(translateJetStatement(jet, DbBackend::SQLite), onSqlite);
        EXPECT_EQ(translateJetStatement(jet, DbBackend::PostgreSQL), onPostgres);
    }
}

} // namespace
