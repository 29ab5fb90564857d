#include "DepartTree.h"

#include "DbError.h"
#include "DbQuery.h"

#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

// UserSort in "order by pid,id", with the run of rows of each parent id.
struct DepartTree::Rows {
    std::vector<qint32> ids;
    std::vector<int> captionStart; // in the tree's caption buffer
    std::vector<int> captionSize;
    std::vector<Icon> icons;
    IdMap runOf;                           // pid -> its run; a later run of the same pid wins
    std::vector<std::pair<int, int>> runs; // [first, end) rows
};

namespace {

int requireField(const DbQuery& query, const QString& name) {
    const int index = query.fieldIndex(name);
    if (index < 0)
        throw DbError(u"Field '"_s + name + u"' not found"_s);
    return index;
}

DepartTree::Icon iconOf(bool ctrl, bool used) {
    if (!ctrl)
        return DepartTree::DepartIcon;
    return used ? DepartTree::ControlledInUseIcon : DepartTree::ControlledIcon;
}

} // namespace

DepartTree DepartTree::read(DbConnection* connection, const QString& rootName) {
    DbQuery query(connection);
    query.setSql(u"select * from UserSort order by pid,id"_s);
    query.open();
    DepartTree tree;
    const Rows rows = tree.readRows(query);
    query.close();
    tree.m_ids.reserve(rows.ids.size() + 1);
    tree.m_parents.reserve(rows.ids.size() + 1);
    tree.m_firstChild.reserve(rows.ids.size() + 2);
    tree.m_captionStart.reserve(rows.ids.size() + 1);
    tree.m_captionSize.reserve(rows.ids.size() + 1);
    tree.m_icons.reserve(rows.ids.size() + 1);
    const qsizetype rootStart = tree.m_captions.size();
    tree.m_captions.append(rootName);
    tree.addNode(0, -1, rootStart, rootName.size(), RootIcon);
    tree.placeChildren(rows);
    tree.m_captions.squeeze();
    return tree;
}

DepartTree::Rows DepartTree::readRows(DbQuery& query) {
    const int id = requireField(query, u"id"_s);
    const int pid = requireField(query, u"pid"_s);
    const int name = requireField(query, u"name"_s);
    const int ctrl = requireField(query, u"ctrl"_s);
    const int used = requireField(query, u"used"_s);
    Rows rows;
    const size_t count = size_t(std::max(0, query.recordCount()));
    rows.ids.reserve(count);
    rows.captionStart.reserve(count);
    rows.captionSize.reserve(count);
    rows.icons.reserve(count);
    IdMap seen;
    qint32 runPid = 0;
    for (query.first(); !query.eof(); query.next()) {
        const qint32 rowId = query.value(id).toInt();
        const qint32 rowPid = query.value(pid).toInt();
        if (!seen.contains(rowId))
            seen.insert(rowId, 0);
        else if (!m_storedTwice.contains(rowId))
            m_storedTwice.append(rowId);
        const int row = int(rows.ids.size());
        if (row == 0 || rowPid != runPid) {
            rows.runOf.insert(rowPid, int(rows.runs.size()));
            rows.runs.emplace_back(row, row);
            runPid = rowPid;
        }
        ++rows.runs.back().second;
        rows.ids.push_back(rowId);
        const QString text = query.value(name).toString();
        const QStringView caption = QStringView(text).trimmed();
        rows.captionStart.push_back(int(m_captions.size()));
        rows.captionSize.push_back(int(caption.size()));
        m_captions.append(caption);
        rows.icons.push_back(
            iconOf(query.value(ctrl).toInt() != 0, query.value(used).toInt() != 0));
    }
    std::sort(m_storedTwice.begin(), m_storedTwice.end());
    return rows;
}

// Breadth first: the nodes themselves are the queue, and each node's children are appended in
// one run.
void DepartTree::placeChildren(const Rows& rows) {
    for (int node = 0; node < size(); ++node) {
        m_firstChild.push_back(size());
        const int run = rows.runOf.value(id(node));
        if (run < 0)
            continue;
        for (int row = rows.runs[size_t(run)].first; row < rows.runs[size_t(run)].second; ++row) {
            const size_t r = size_t(row);
            if (!m_nodes.contains(rows.ids[r]))
                addNode(rows.ids[r], node, rows.captionStart[r], rows.captionSize[r],
                        rows.icons[r]);
        }
    }
    m_firstChild.push_back(size());
}

void DepartTree::addNode(qint32 id, int parent, qsizetype captionStart, qsizetype captionSize,
                         Icon icon) {
    m_nodes.insert(id, size());
    m_ids.push_back(id);
    m_parents.push_back(parent);
    m_captionStart.push_back(int(captionStart));
    m_captionSize.push_back(int(captionSize));
    m_icons.push_back(icon);
}

std::vector<int> DepartTree::subtree(int node) const {
    std::vector<int> nodes{node};
    for (size_t next = 0; next < nodes.size(); ++next) {
        const int first = firstChild(nodes[next]);
        for (int child = first; child < first + childCount(nodes[next]); ++child)
            nodes.push_back(child);
    }
    return nodes;
}

void DepartTree::setCaption(int node, QStringView caption) {
    m_captionStart[size_t(node)] = int(m_captions.size());
    m_captionSize[size_t(node)] = int(caption.size());
    m_captions.append(caption);
}

void DepartTree::removeLeaf(int node) {
    const auto at = [node](auto& values) { values.erase(values.begin() + node); };
    at(m_ids);
    at(m_parents);
    at(m_captionStart);
    at(m_captionSize);
    at(m_icons);
    // The leaf's own run of children is empty: only the nodes after it move.
    for (int& first : m_firstChild)
        first -= first > node ? 1 : 0;
    at(m_firstChild);
    for (int& parent : m_parents)
        parent -= parent > node ? 1 : 0;
    m_nodes.clear();
    for (int n = 0; n < size(); ++n)
        m_nodes.insert(id(n), n);
}
