#include "LargeSite.h"

#include "BatchInsert.h"
#include "DbTransaction.h"
#include "DemoSeed.h"
#include "Schema.h"

#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

constexpr int maxDepth = 6;
constexpr int roleCount = 5;

const char* const unitNames[] = {"研发",    "销售",   "财务",      "市场",     "人事",
                                 "行政",    "生产",   "质量",      "采购",     "法务",
                                 "Support", "Design", "Logistics", "Research", "Operations"};
const char* const unitKinds[] = {"部", "中心", "组", "科", "小组"};
const char* const surnames[] = {"张", "王", "李", "刘", "陈", "杨", "赵", "黄",
                                "周", "吴", "徐", "孙", "马", "朱", "胡", "郭"};
const char* const givenNames[] = {"伟", "芳", "娜", "敏", "静", "磊", "强", "军",
                                  "洋", "勇", "艳", "杰", "涛", "明", "超", "霞"};
const char* const asciiNames[] = {"alice", "bob",   "carol", "dave", "erin",    "frank",
                                  "grace", "henry", "ivan",  "judy", "mallory", "oscar"};

template <typename T, size_t N> const T& pick(QRandomGenerator& random, const T (&items)[N]) {
    return items[random.bounded(quint32(N))];
}

// Counts the rows written and tells progress every thousand rows and at the last.
class RowCounter {
public:
    RowCounter(const SiteProgress& progress, qint64 total) : m_progress(progress), m_total(total) {}
    void add() {
        ++m_done;
        if (m_progress && (m_done % 1000 == 0 || m_done == m_total))
            m_progress(m_done, m_total);
    }

private:
    const SiteProgress& m_progress;
    qint64 m_total;
    qint64 m_done = 0;
};

struct Department {
    int id;
    int pid;
    int depth;
};

// Parents are drawn among earlier departments, so every department hangs under the root; a
// draw that would go deeper than maxDepth takes the drawn department's parent instead.
std::vector<Department> planTree(int count, QRandomGenerator& random) {
    std::vector<Department> tree;
    tree.reserve(size_t(count));
    const int topLevel = qBound(1, count / 200, 12);
    for (int id = 1; id <= count; ++id) {
        if (id <= topLevel) {
            tree.push_back({id, 0, 1});
            continue;
        }
        const Department* parent = &tree[random.bounded(quint32(id - 1))];
        while (parent->depth >= maxDepth) {
            parent = &tree[size_t(parent->pid - 1)];
        }
        tree.push_back({id, parent->id, parent->depth + 1});
    }
    return tree;
}

QString departmentName(const Department& department, QRandomGenerator& random) {
    const int kind = qMin(department.depth - 1, int(std::size(unitKinds)) - 1);
    return QString::fromUtf8(pick(random, unitNames)) + QString::fromUtf8(unitKinds[kind]) +
           QStringLiteral("-%1").arg(department.id);
}

void insertDepartments(DbConnection& connection, const std::vector<Department>& tree,
                       QRandomGenerator& random, RowCounter& rows) {
    BatchInsert insert(connection, QStringLiteral("UserSort"),
                       QString::fromLatin1("id,pid,name,DRole,ctrl,used").split(u','));
    for (const Department& department : tree) {
        const int flags = int(random.bounded(3u));
        insert.add({department.id, department.pid, departmentName(department, random),
                    1 + int(random.bounded(quint32(roleCount))), flags > 0 ? -1 : 0,
                    flags > 1 ? -1 : 0});
        rows.add();
    }
    insert.flush();
}

QString userName(int uid, QRandomGenerator& random) {
    if (random.bounded(5u) == 0) {
        return QString::fromLatin1(pick(random, asciiNames)) + QString::number(uid);
    }
    return QString::fromUtf8(pick(random, surnames)) + QString::fromUtf8(pick(random, givenNames)) +
           QString::number(uid);
}

// An address of its own for every user, on loopback (Linux routes all of 127.0.0.0/8 to this
// computer, so stand-in agents can listen there).
QString userAddress(int uid) {
    return QStringLiteral("127.%1.%2.%3")
        .arg(1 + (uid >> 16))
        .arg((uid >> 8) & 0xFF)
        .arg(uid & 0xFF);
}

QVariantList userRow(int uid, int departments, QRandomGenerator& random) {
    // About one user in a thousand sits at the root (all of them when there are no departments).
    const bool atRoot = departments == 0 || random.bounded(1000u) == 0;
    const int pid = atRoot ? 0 : 1 + int(random.bounded(quint32(departments)));
    const bool online = random.bounded(10u) < 3;
    return {uid,
            pid,
            userName(uid, random),
            QStringLiteral("pw%1").arg(uid),
            1 + int(random.bounded(quint32(roleCount))),
            QString(),
            int(random.bounded(4u)),
            random.bounded(8u) == 0 ? 1 + int(random.bounded(4u)) : 0,
            random.bounded(10u) == 0 ? QStringLiteral("|2|3|") : QString(),
            userAddress(uid),
            QStringLiteral("PC-%1").arg(uid, 6, 10, QChar(u'0')),
            QStringLiteral("3.5.%1").arg(random.bounded(4u)),
            QStringLiteral("HD%1").arg(random.generate(), 8, 16, QChar(u'0')),
            online ? -1 : 0,
            QString()};
}

void insertUsers(DbConnection& connection, int users, int departments, QRandomGenerator& random,
                 RowCounter& rows) {
    BatchInsert insert(connection, QStringLiteral("Users"),
                       QString::fromLatin1("Uid,Pid,UserName,Password,RoleId,uKeyNo,Auths,uLevel,"
                                           "Groups,Ip,ComputerName,CliVer,HardNo,Onlined,ScanTime")
                           .split(u','));
    for (int uid = 1; uid <= users; ++uid) {
        insert.add(userRow(uid, departments, random));
        rows.add();
    }
    insert.flush();
}

} // namespace

void generateLargeSite(DbConnection& connection, int users, int departments, quint32 seed,
                       const SiteProgress& progress) {
    QRandomGenerator random(seed);
    RowCounter rows(progress, qint64(users) + std::max(departments, 0));
    const int settingsDepartment = departments > 0 ? 1 : 0;
    DbTransaction transaction(connection);
    seedReferenceData(connection, settingsDepartment);
    if (departments > 0) {
        insertDepartments(connection, planTree(departments, random), random, rows);
    }
    insertUsers(connection, users, departments, random, rows);
    syncAutoNumbers(connection);
    transaction.commit();
}
