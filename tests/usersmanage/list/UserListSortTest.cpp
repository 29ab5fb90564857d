// The user list sorted by a click on a column header: the orders, rows found by their Uid once
// sorted, and the order kept while rows arrive, change and leave.
#include "MainWindowFixture.h"

#include "Multilanguage.h"
#include "UserListExport.h"
#include "UserListLoader.h"
#include "UserListModel.h"
#include "UserListOrder.h"
#include "UserListStore.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QBuffer>
#include <QCollator>
#include <QHeaderView>
#include <QMimeData>
#include <QRandomGenerator>
#include <QTest>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

// Texts whose orders differ from the Uid order and from a plain character compare: letter
// case, numbers inside texts, addresses and versions of different lengths, Han characters.
const char16_t* const SortedTexts[] = {
    u"update Users set UserName = 'alice', Ip = '127.0.0.10', CliVer = '3.5.10' where Uid = 1",
    u"update Users set UserName = 'Bob', Ip = '127.0.0.9', CliVer = '3.5.9' where Uid = 2",
    u"update Users set UserName = '张三', Ip = '127.0.1.1', CliVer = '10.0' where Uid = 3",
    u"update Users set UserName = '李四', Ip = '', CliVer = '3.5' where Uid = 4",
    u"update Users set UserName = 'user10', Ip = '127.0.0.100', CliVer = '' where Uid = 5",
    u"update Users set UserName = 'user9', Ip = '127.0.0.2', CliVer = '3.10' where Uid = 6",
};

constexpr int NameColumn = 0, IpColumn = 2, VersionColumn = 6;

class UserListSortTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        for (const char16_t* sql : SortedTexts)
            db->exec(QString::fromUtf16(sql));
    }

    UserListModel& users() const { return *window().userList(); }
    QHeaderView* header() const { return window().ui()->LV_Man->horizontalHeader(); }

    void clickHeader(int column) {
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, {},
                          QPoint(header()->sectionViewportPosition(column) + 5, 5));
    }
};

TEST_P(UserListSortTest, HeaderClicksSortAscendingThenDescending) {
    open();
    const QList<qint32> databaseOrder = uidsInListOrder();
    const struct {
        int column;
        QList<qint32> ascending;
    } cases[] = {
        {NameColumn, {4, 3, 1, 2, 6, 5}},    // pinyin (li, zhang), then letters, case folded
        {IpColumn, {4, 6, 2, 1, 5, 3}},      // empty first, then the address order
        {VersionColumn, {5, 4, 2, 1, 6, 3}}, // 3.5 < 3.5.9 < 3.5.10 < 3.10 < 10.0
    };
    QList<Qt::CursorShape> cursorsWhileSorting;
    QObject::connect(&users(), &QAbstractItemModel::layoutAboutToBeChanged, &users(), [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        cursorsWhileSorting.append(cursor ? cursor->shape() : Qt::ArrowCursor);
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column);
        clickHeader(c.column);
        EXPECT_EQ(uidsInListOrder(), c.ascending);
        EXPECT_EQ(cursorsWhileSorting.value(cursorsWhileSorting.size() - 1), Qt::WaitCursor);
        clickHeader(c.column);
        QList<qint32> descending = c.ascending;
        std::reverse(descending.begin(), descending.end());
        EXPECT_EQ(uidsInListOrder(), descending);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    window().ui()->LV_Man->sortByColumn(-1, Qt::AscendingOrder);
    EXPECT_EQ(uidsInListOrder(), databaseOrder);
}

// Commands take the selected rows' Uids, the drag their Uids, presence finds its row by Uid,
// and the export writes the rows as shown.
TEST_P(UserListSortTest, SortedRowsLeadToTheirUsers) {
    open();
    window().ui()->LV_Man->sortByColumn(NameColumn, Qt::DescendingOrder);
    ASSERT_EQ(uidsInListOrder(), (QList<qint32>{5, 6, 2, 1, 3, 4}));
    for (const int row : {0, 3})
        window().ui()->LV_Man->selectionModel()->select(
            users().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::unique_ptr<QMimeData> drag(
        users().mimeData({users().index(0, 0), users().index(3, 0)}));
    EXPECT_EQ(drag->data(UserListModel::mimeType()), "5\n1");

    EXPECT_FALSE(users().row(2).online());
    window().UpdateOnline(Org::Bob, true);
    EXPECT_TRUE(users().row(2).online());

    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writeUserListCsv(users(), csv));
    QStringList names;
    for (const QString& line : QString::fromUtf8(csv.data()).split(u"\r\n"_s).mid(1, 6))
        names.append(line.section(u',', 0, 0));
    EXPECT_EQ(names,
              (QStringList{u"user10"_s, u"user9"_s, u"Bob"_s, u"alice"_s, u"张三"_s, u"李四"_s}));

    script.answerMessage(QMessageBox::Yes);
    window().MiUDeleteClick();
    EXPECT_EQ(count(u"Users where Uid in (1, 5)"_s), 0);
    EXPECT_EQ(count(u"Users"_s), Org::UserCount - 2);
    EXPECT_EQ(uidsInListOrder(), (QList<qint32>{6, 2, 3, 4}));
    EXPECT_EQ(cell(Org::Carol, NameColumn), u"张三"_s);
}

// Sorts, appended rows, renamed rows, removals and reloads shown slice by slice, in a random
// order: the kept order is the fresh sort's, and each Uid leads to its row.
TEST_P(UserListSortTest, OrderFollowsRandomEditsAndLoads) {
    QRandomGenerator random(20261207);
    addUsers(Org::Alpha, 30, true);
    open();
    for (int step = 0; step < 80; ++step) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        window().userLoader()->setRowsPerSlice(1 + int(random.bounded(5)));
        const int rows = users().rowCount();
        const QString name = u"n"_s + QString::number(random.bounded(40));
        switch (random.bounded(6)) {
        case 0:
            window().ui()->LV_Man->sortByColumn(
                int(random.bounded(UserListModel::SubItemCount + 1)),
                random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
            break;
        case 1:
            selectDepart(random.bounded(2) ? 0 : Org::Alpha);
            break;
        case 2:
            users().appendRow({UserRow::OfflineImage,
                               name,
                               {{}, name, {}, {}, u"-"_s, name, {}, {}},
                               {qint32(1000 + step), false, {}}});
            break;
        case 3:
            if (rows > 0)
                users().removeRowsAt({int(random.bounded(rows)), int(random.bounded(rows))});
            break;
        default:
            if (rows > 0) {
                const int row = int(random.bounded(rows));
                UserRow changed = users().row(row);
                changed.Caption = name;
                changed.SubItems[1] = name;
                users().setRow(row, changed);
            }
            break;
        }
        QCoreApplication::processEvents();
        if (header()->sortIndicatorSection() >= 0)
            expectInOrder();
        for (int row = 0; row < users().rowCount(); ++row)
            ASSERT_EQ(users().row(users().findById(users().row(row).Item.Id)).Item.Id,
                      users().row(row).Item.Id);
    }
}

// More rows than one sort takes at once, sorted as a plain stable sort by the collator sorts
// them: own texts, shared names (some alike, as "Sales" and "sales") and the decrypt mark, both
// ways, and turned round; equal texts keep the store order.
TEST(UserListOrderTest, ManyRowsSortAsTheCollatorSortsThem) {
    const QStringList departs{u"Sales"_s, u"sales"_s, u"研发部"_s, u"财务2"_s, u"财务10"_s, {}};
    const QStringList names{u"张"_s, u"李"_s, u"bob"_s, u"Bob"_s};
    QRandomGenerator random(20261207);
    UserListStore store;
    for (int row = 0; row < 9000; ++row) {
        const QByteArray name =
            (names.at(random.bounded(4)) + QString::number(random.bounded(3000))).toUtf8();
        const QByteArray ip = "127.0." + QByteArray::number(random.bounded(300));
        const int depart = int(random.bounded(departs.size()));
        UserListStore::Fields fields;
        fields.uid = row;
        fields.decrypts = random.bounded(2) == 1;
        fields.departName = store.departName(depart, [&] { return departs[depart].toUtf8(); });
        fields.userName = name;
        fields.ip = ip;
        store.append(fields);
    }
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    for (const int column : {0, 1, 2, 5}) {
        std::vector<QString> texts;
        for (int row = 0; row < store.size(); ++row)
            texts.push_back(store.text(row, column));
        for (const Qt::SortOrder direction : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            SCOPED_TRACE(testing::Message() << "column " << column << ", order " << direction);
            UserListOrder order(column, direction);
            order.keyNewRows(store);
            StoreRows rows(size_t(store.size()));
            std::iota(rows.begin(), rows.end(), 0);
            StoreRows expected = rows;
            order.sort(rows);
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                const int compared = collator.compare(texts[size_t(a)], texts[size_t(b)]);
                return direction == Qt::DescendingOrder ? compared > 0 : compared < 0;
            });
            EXPECT_TRUE(rows == expected);
            // Turned round, the rows take the other order as a fresh sort gives it.
            const Qt::SortOrder other =
                direction == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
            order.turnRound(rows);
            UserListOrder fresh(column, other);
            fresh.keyNewRows(store);
            fresh.sort(expected);
            EXPECT_TRUE(rows == expected);
            EXPECT_EQ(order.order(), other);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, UserListSortTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
