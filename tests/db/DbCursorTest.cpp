#include "DbCursor.h"
#include "BlockStorage.h"
#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <cstring>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Selects stepped a record at a time on the reader session, and the blocks results live in.
class DbCursorTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam(), Seed::None};

    void addUsers(int first, int count) {
        QStringList rows;
        for (int uid = first; uid < first + count; ++uid)
            rows << u"(%1, 'user%1', %2)"_s.arg(uid).arg(uid % 2 ? -1 : 0);
        db.exec(u"insert into Users (Uid, UserName, Onlined) values "_s + rows.join(u','));
    }
};

// Steps the cursor to its end, reading every record's Uid and name (else its first field).
QStringList drain(DbCursor& cursor, int limit = -1) {
    QStringList read;
    const int uid = std::max(cursor.fieldIndex(u"UID"_s), 0);
    const int name = std::max(cursor.fieldIndex(u"username"_s), 0);
    while (limit-- != 0 && cursor.next())
        read << QString::number(cursor.integer(uid)) + u'=' + QString::fromUtf8(cursor.text(name));
    return read;
}

TEST_P(DbCursorTest, StepsOneStateOfTheTableWhileTheMainSessionWrites) {
    addUsers(1, 500);
    {
        DbCursor abandoned(db.connection());
        abandoned.open(u"select Uid from Users"_s);
        ASSERT_TRUE(abandoned.next());
    } // closed while its next batch is on the way
    DbCursor cursor(db.connection());
    cursor.open(u"select Uid, UserName, Onlined from Users order by Uid"_s);
    const QStringList head = drain(cursor, 10);
    ASSERT_EQ(head.size(), 10);
    EXPECT_EQ(head.first(), u"1=user1"_s);
    {
        DbCursor other(db.connection()); // on the reader too, between the first one's batches
        other.open(u"select Uid, UserName from Users where Uid >= 250 order by Uid"_s);
        EXPECT_EQ(drain(other, 2), (QStringList{u"250=user250"_s, u"251=user251"_s}));
    }
    // Writes of the main session land at once and do not show in the records still to come.
    db.exec(u"update Users set UserName = 'renamed' where Uid = 300"_s);
    db.exec(u"delete from Users where Uid = 400"_s);
    addUsers(501, 5);
    EXPECT_EQ(db.scalar(u"select UserName from Users where Uid = 300"_s).toString(), u"renamed"_s);
    DbCursor mainSession(db.connection(), DbCursor::Session::Main); // sees them meanwhile
    mainSession.open(u"select UserName from Users where Uid = 300"_s);
    ASSERT_TRUE(mainSession.next());
    EXPECT_EQ(mainSession.text(0), "renamed");
    const QStringList rest = drain(cursor);
    ASSERT_EQ(rest.size(), 490);
    EXPECT_EQ(rest.at(289), u"300=user300"_s);
    EXPECT_EQ(rest.at(389), u"400=user400"_s);
    EXPECT_FALSE(cursor.isOpen()) << "the end closes the cursor";
    EXPECT_FALSE(cursor.next());

    // A cursor opened afterwards sees the writes; NULL and numbers read as such.
    cursor.open(u"select Uid, UserName, Onlined, null as Missing from Users where Uid >= 500"_s);
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.integer(cursor.fieldIndex(u"Onlined"_s)), 0);
    EXPECT_TRUE(cursor.isNull(cursor.fieldIndex(u"Missing"_s)));
    EXPECT_EQ(drain(cursor).size(), 5);
}

TEST_P(DbCursorTest, FailuresAreDbErrors) {
    addUsers(1, 3);
    DbCursor cursor(db.connection());
    for (const QString& bad :
         {u"select * from NoSuchTable"_s, u"update Users set Pid = 1"_s,
          u"select Uid from Users; delete from Users"_s,
          u"select Uid from Users where UserName = ';' /* ; */ -- ;\n; delete from Users"_s})
        EXPECT_THROW(cursor.open(bad), DbError) << bad.toStdString();
    EXPECT_EQ(cursor.fieldIndex(u"Uid"_s), -1);
    EXPECT_EQ(db.scalar(u"select count(*) from Users"_s).toInt(), 3);

    // Two cursors at once, then the connection closes under one of them.
    DbCursor other(db.connection());
    cursor.open(u"select Uid, UserName from Users"_s);
    other.open(u"select Uid, UserName from Users"_s);
    EXPECT_EQ(drain(other).size(), 3);
    ASSERT_TRUE(cursor.next());
    db.closeConnection();
    EXPECT_THROW(cursor.next(), DbError);
    EXPECT_THROW(cursor.open(u"select Uid from Users"_s), DbError);
}

// Texts longer than a block get a block of their own; values never move once stored.
TEST_P(DbCursorTest, ResultsHoldValuesOfAnySizeInBlocks) {
    const QString huge(100 * 1024, u'x');
    addUsers(1, 3);
    DbCommand set(db.connection(), u"update Users set HardNo = :h where Uid = 2"_s);
    set.setParam(u"h"_s, huge);
    set.execute();
    db.exec(u"update Users set HardNo = 'short' where Uid = 3"_s);
    DbQuery query(db.connection());
    query.setSql(u"select Uid, HardNo from Users order by Uid"_s);
    query.open();
    ASSERT_EQ(query.recordCount(), 3);
    query.next();
    EXPECT_EQ(query.asString(u"HardNo"_s), huge);
    query.next();
    EXPECT_EQ(query.asString(u"HardNo"_s), u"short"_s);

    // Blocks growing from 4 values, and (values of 1 MB) blocks of 4 values throughout.
    struct Large {
        int value;
        char rest[(1 << 20) - sizeof(int)];
    };
    const auto eraseKeepsTheRest = [](auto numbers, auto make, auto valueOf) {
        for (int i = 0; i < 40; ++i)
            numbers->push_back(make(i));
        const auto* third = &(*numbers)[2];
        numbers->erase(3, 38); // 0 1 2 38 39
        EXPECT_EQ(third, &(*numbers)[2]);
        ASSERT_EQ(numbers->size(), 5u);
        EXPECT_EQ(valueOf((*numbers)[3]), 38);
        EXPECT_EQ(valueOf((*numbers)[4]), 39);
        numbers->push_back(make(40));
        EXPECT_EQ(valueOf((*numbers)[5]), 40);
    };
    const auto same = [](int n) { return n; };
    eraseKeepsTheRest(std::make_unique<BlockArray<int, 4>>(), same, same);
    eraseKeepsTheRest(
        std::make_unique<BlockArray<Large, 4>>(),
        [](int n) {
            auto large = std::make_unique_for_overwrite<Large>();
            large->value = n;
            return *large;
        },
        [](const Large& n) { return n.value; });
}

// Freed blocks are used again, a larger one split among smaller ones: the blocks handed out
// never overlap, every one is given back, and the pieces join again into the larger block.
TEST(HugePages, BlocksUsedAgainNeverOverlapAndJoinAgain) {
    constexpr size_t MB = size_t(1) << 20;
    const size_t before = hugePagesMapped();
    void* const large = allocateHugePages(10 * MB);
    std::memset(large, 0, 10 * MB);
    freeHugePages(large, 10 * MB);
    std::vector<std::pair<char*, size_t>> blocks;
    for (const size_t size : {2 * MB, 3 * MB, 1 * MB, 5 * MB, size_t(100)}) {
        blocks.emplace_back(static_cast<char*>(allocateHugePages(size)), size);
        std::memset(blocks.back().first, int(blocks.size()), size);
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].first[0], char(i + 1)) << i;
        EXPECT_EQ(blocks[i].first[blocks[i].second - 1], char(i + 1)) << i;
    }
    for (const auto& [block, size] : blocks)
        freeHugePages(block, size);
    EXPECT_EQ(hugePagesMapped(), before);
    void* const again = allocateHugePages(10 * MB);
    if (hugePagesMapped() > before) { // mapped, not from the heap
        EXPECT_TRUE(again == large || again == blocks[3].first);
    }
    freeHugePages(again, 10 * MB);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbCursorTest, ::testing::ValuesIn(testBackends()), backendName);

// What the libpq reader makes of the wire text: every column type the cursor reads, NULLs, a
// huge text, numbers out of range, bytes that are no UTF-8 (a SQL_ASCII database holds any),
// two cursors taking turns on the reader and the session dropped in the middle of a cursor.
TEST(PostgresCursor, DecodesTheWireTextAndFailsOnlyWithDbError) {
    TestDatabase db(DbBackend::PostgreSQL, Seed::None);
    DbCursor cursor(db.connection());
    cursor.open(
        u"select 42 as i, -9007199254740993::int8, true, false, null::int, 'Žluť 管'::citext, "
        u"''::text, null::text, repeat('x', 20000000), 99999999999999999999::numeric"_s);
    ASSERT_TRUE(cursor.next());
    for (const auto& [column, value] :
         {std::pair{0, 42ll}, {1, -9007199254740993ll}, {2, 1ll}, {3, 0ll}, {4, 0ll}})
        EXPECT_EQ(cursor.integer(column), value) << column;
    EXPECT_EQ(QString::fromUtf8(cursor.text(5)), u"Žluť 管"_s);
    EXPECT_EQ(std::tuple(cursor.isNull(4), cursor.isNull(6), cursor.isNull(7)),
              std::tuple(true, false, true));
    EXPECT_EQ(cursor.text(8).size(), 20000000);
    EXPECT_THROW(cursor.integer(9), DbError);
    EXPECT_THROW(cursor.integer(5), DbError);
    EXPECT_FALSE(cursor.next());

    const QString ascii = db.settings().schema + u"_ascii"_s;
    db.exec(u"create database "_s + ascii +
            u" encoding 'SQL_ASCII' locale 'C' template template0"_s);
    DbSettings settings = db.settings();
    settings.database = ascii;
    settings.schema.clear();
    EXPECT_THROW(
        {
            const auto other = DbConnection::open(settings);
            DbCursor bytes(other.get());
            bytes.open(u"select convert_from('\\xff41'::bytea, 'SQL_ASCII')"_s);
            bytes.next();
            bytes.text(0);
        },
        DbError);
    db.exec(u"drop database "_s + ascii + u" with (force)"_s);

    // Two cursors on the reader stepped in turns, the second ten records a turn, batches of
    // both on the way: each reads its own records in order to its end.
    DbCursor slow(db.connection()), fast(db.connection());
    slow.open(u"select g from generate_series(1, 3000) g"_s);
    fast.open(u"select g from generate_series(1, 40000) g"_s);
    qint64 slowRead = 0, fastRead = 0;
    for (bool more = true; more;) {
        more = slow.next();
        if (more) {
            ASSERT_EQ(slow.integer(0), ++slowRead);
        }
        for (int i = 0; i < 10 && fast.next(); ++i, more = true) {
            ASSERT_EQ(fast.integer(0), ++fastRead);
        }
    }
    EXPECT_EQ(std::pair(slowRead, fastRead), std::pair(3000ll, 40000ll));

    cursor.open(u"select g from generate_series(1, 5000) g"_s);
    ASSERT_TRUE(cursor.next());
    DbCursor pid(db.connection()); // on the same reader
    pid.open(u"select pg_backend_pid()"_s);
    ASSERT_TRUE(pid.next());
    db.exec(u"select pg_terminate_backend("_s + QString::number(pid.integer(0)) + u")"_s);
    EXPECT_TRUE(errorOf([&] { drain(cursor); }).contains(u"lost"_s));
    pid.close();
    cursor.open(u"select g from generate_series(1, 5000) g"_s);
    EXPECT_EQ(drain(cursor).size(), 5000) << "a new reader";
}

} // namespace
