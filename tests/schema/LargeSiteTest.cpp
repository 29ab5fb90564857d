#include "LargeSite.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class LargeSiteTest : public ::testing::TestWithParam<DbBackend> {
protected:
    // A site generated on a fresh database of the test's backend.
    std::unique_ptr<TestDatabase> site(int users, int departments, quint32 seed) {
        auto db = std::make_unique<TestDatabase>(GetParam(), Seed::None);
        generateLargeSite(*db->connection(), users, departments, seed);
        return db;
    }

    static QByteArray fingerprint(TestDatabase& db) {
        DbQuery query(db.connection());
        query.setSql(u"select * from Users U left join UserSort S on U.Pid = S.id order by Uid"_s);
        query.open();
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (; !query.eof(); query.next()) {
            for (int i = 0; i < query.fieldCount(); ++i)
                hash.addData(query.value(i).toString().toUtf8());
        }
        return hash.result();
    }
};

TEST_P(LargeSiteTest, GeneratesAConsistentTree) {
    const auto db = site(3000, 400, 7);
    const auto count = [&db](const QString& sql) { return db->scalar(sql).toInt(); };
    // Every department is reached from the root, at most six levels down.
    const QString tree = u"with recursive tree(id, depth) as (select id, 1 from UserSort where "
                         u"pid = 0 union all select u.id, tree.depth + 1 from UserSort u join "
                         u"tree on u.pid = tree.id) "_s;
    const int depth = count(tree + u"select max(depth) from tree"_s);
    EXPECT_GE(depth, 3);
    EXPECT_LE(depth, 6);
    for (const auto& [sql, expected] :
         {std::pair{u"select count(*) from Users"_s, 3000},
          {u"select count(distinct name) from UserSort"_s, 400},
          {tree + u"select count(*) from tree"_s, 400},
          {u"select count(*) from Users U left join UserSort S on U.Pid = S.id "
           u"where S.id is null and U.Pid <> 0"_s,
           0},
          {u"select count(*) from Users U left join UserRole R on U.RoleId = R.Rid "
           u"where R.Rid is null"_s,
           0}}) {
        EXPECT_EQ(count(sql), expected) << sql.toStdString();
    }
    db->exec(u"insert into Users (UserName) values ('next')"_s);
    EXPECT_EQ(count(u"select Uid from Users where UserName = 'next'"_s), 3001);
}

TEST_P(LargeSiteTest, SameSeedGivesTheSameSiteAndNoDepartmentsMeansTheRoot) {
    const QByteArray first = fingerprint(*site(500, 60, 42));
    EXPECT_EQ(fingerprint(*site(500, 60, 42)), first);
    EXPECT_NE(fingerprint(*site(500, 60, 43)), first);
    EXPECT_EQ(site(50, 0, 1)->scalar(u"select count(*) from Users where Pid = 0"_s).toInt(), 50);
}

INSTANTIATE_TEST_SUITE_P(Backends, LargeSiteTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
