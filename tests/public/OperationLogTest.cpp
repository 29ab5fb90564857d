#include "OperationLog.h"

#include "DbQuery.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <array>

using namespace Qt::StringLiterals;

namespace {

using LogRow = std::array<QString, 6>;

const LogRow completeRow{u"2024-03-05 14:07:09"_s,  u"admin"_s, u"Server"_s, u"设置扫描任务"_s,
                         u"用户：张三(127.0.2.7)"_s, u"成功"_s};

void writeRow(const LogRow& row) {
    WriteLogFile(row[0], row[1], row[2], row[3], row[4], row[5]);
}

// Puts a logon context on the test database in place and restores the previous one.
class OperationLogTest : public ::testing::TestWithParam<DbBackend> {
protected:
    void SetUp() override {
        m_previous = LogonInfo;
        m_logon.Connection = m_db.connection();
        LogonInfo = &m_logon;
    }
    void TearDown() override { LogonInfo = m_previous; }

    int rowCount() { return m_db.scalar(u"select count(*) from LogAct"_s).toInt(); }

    LogRow storedRow() {
        DbQuery query(m_db.connection());
        query.setSql(u"select Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult from LogAct"_s);
        query.open();
        LogRow row;
        for (int i = 0; i < 6; ++i)
            row[i] = query.value(i).toString();
        return row;
    }

    TestDatabase m_db{GetParam(), Seed::None};

private:
    TLogonInfo m_logon;
    TLogonInfo* m_previous = nullptr;
};

// Fields are stored as given: surrounding blanks kept, quotes as text.
TEST_P(OperationLogTest, RowsAreStoredUntrimmed) {
    LogRow padded{u" 2024-03-05 14:07:09"_s,
                  u"admin "_s,
                  u" 127.0.2.7 "_s,
                  u"\tpush"_s,
                  u"O'Brien (it's \"x\"); drop table LogAct  "_s,
                  u" OK"_s};
    for (const LogRow& row : {completeRow, padded}) {
        m_db.exec(u"delete from LogAct"_s);
        writeRow(row);
        ASSERT_EQ(rowCount(), 1);
        EXPECT_EQ(storedRow(), row);
    }
}

TEST_P(OperationLogTest, AnyBlankFieldSkipsTheRow) {
    for (const QString& blank : {QString(), u"   "_s, u" \t\r\n"_s, u"\x01\x1f "_s}) {
        for (size_t field = 0; field < completeRow.size(); ++field) {
            LogRow row = completeRow;
            row[field] = blank;
            writeRow(row);
        }
    }
    EXPECT_EQ(rowCount(), 0);
}

// A missing table, a closed connection, no connection and no logon context write nothing and
// raise nothing.
TEST_P(OperationLogTest, FailuresAreSwallowed) {
    m_db.dropTable(u"LogAct"_s);
    EXPECT_NO_THROW(writeRow(completeRow));
    m_db.closeConnection();
    EXPECT_NO_THROW(writeRow(completeRow));
    TLogonInfo noConnection;
    LogonInfo = &noConnection;
    EXPECT_NO_THROW(writeRow(completeRow));
    LogonInfo = nullptr;
    EXPECT_NO_THROW(writeRow(completeRow));
}

INSTANTIATE_TEST_SUITE_P(Backends, OperationLogTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
