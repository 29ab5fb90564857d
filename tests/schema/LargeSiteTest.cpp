#include "LargeSite.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

namespace {

class LargeSiteTest : public ::testing::TestWithParam<DbBackend> {
protected:
    int count(TestDatabase& db, const char* sql) {
        return db.scalar(QString::fromLatin1(sql)).toInt();
    }

    QByteArray fingerprint(TestDatabase& db) {
        DbQuery query(db.connection());
        query.setSql(QStringLiteral("select * from Users U left join UserSort S on U.Pid = S.id "
                                    "order by Uid"));
        query.open();
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (; !query.eof(); query.next()) {
            for (int i = 0; i < query.fieldCount(); ++i) {
                hash.addData(query.value(i).toString().toUtf8());
            }
        }
        return hash.result();
    }
};

TEST_P(LargeSiteTest, GeneratesAConsistentTree) {
    TestDatabase db(GetParam(), Seed::None);
    generateLargeSite(*db.connection(), 3000, 400, 7);
    EXPECT_EQ(count(db, "select count(*) from Users"), 3000);
    EXPECT_EQ(count(db, "select count(*) from UserSort"), 400);
    EXPECT_EQ(count(db, "select count(distinct name) from UserSort"), 400);
    // Every department is reached from the root, at most six levels down.
    const char* tree =
        "with recursive tree(id, depth) as (select id, 1 from UserSort where pid = 0 "
        "union all select u.id, tree.depth + 1 from UserSort u join tree on "
        "u.pid = tree.id) ";
    EXPECT_EQ(
        db.scalar(QString::fromLatin1(tree) + QStringLiteral("select count(*) from tree")).toInt(),
        400);
    const int depth =
        db.scalar(QString::fromLatin1(tree) + QStringLiteral("select max(depth) from tree"))
            .toInt();
    EXPECT_GE(depth, 3);
    EXPECT_LE(depth, 6);
    EXPECT_EQ(count(db, "select count(*) from Users U left join UserSort S on U.Pid = S.id "
                        "where S.id is null and U.Pid <> 0"),
              0);
    EXPECT_EQ(count(db, "select count(*) from Users U left join UserRole R on U.RoleId = R.Rid "
                        "where R.Rid is null"),
              0);
    db.exec(QStringLiteral("insert into Users (UserName) values ('next')"));
    EXPECT_EQ(count(db, "select Uid from Users where UserName = 'next'"), 3001);
}

TEST_P(LargeSiteTest, SameSeedGivesTheSameSiteAndNoDepartmentsMeansTheRoot) {
    TestDatabase first(GetParam(), Seed::None);
    TestDatabase second(GetParam(), Seed::None);
    TestDatabase other(GetParam(), Seed::None);
    generateLargeSite(*first.connection(), 500, 60, 42);
    generateLargeSite(*second.connection(), 500, 60, 42);
    generateLargeSite(*other.connection(), 500, 60, 43);
    EXPECT_EQ(fingerprint(first), fingerprint(second));
    EXPECT_NE(fingerprint(first), fingerprint(other));

    TestDatabase flat(GetParam(), Seed::None);
    generateLargeSite(*flat.connection(), 50, 0, 1);
    EXPECT_EQ(count(flat, "select count(*) from Users where Pid = 0"), 50);
}

INSTANTIATE_TEST_SUITE_P(Backends, LargeSiteTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
