#include "DepartTree.h"

#include "DbCursor.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

// The rows of UserSort as read, and the runs of children: the rows in the order of (pid, id),
// a run of rows for each parent id.
struct DepartTree::Rows {
    std::vector<qint32> ids;
    std::vector<qint32> pids;
    std::vector<int> captionStart; // in the tree's caption buffer
    std::vector<int> captionSize;
    std::vector<Icon> icons;
    std::vector<int> order;                // rows by (pid, id); ties in the order read
    IdMap runOf;                           // pid -> its run
    std::vector<std::pair<int, int>> runs; // [first, end) in order

    void sortIntoRuns();
};

namespace {

DepartTree::Icon iconOf(bool ctrl, bool used) {
    if (!ctrl)
        return DepartTree::DepartIcon;
    return used ? DepartTree::ControlledInUseIcon : DepartTree::ControlledIcon;
}

} // namespace

DepartTree DepartTree::read(DbConnection* connection, const QString& rootName) {
    // On the main session: the tree follows this window's own changes at once, even while the
    // user list's load keeps the reader's state of the tables. The rows come in the table's own
    // order, a walk of its pages one after another, and are sorted here.
    DbCursor cursor(connection, DbCursor::Session::Main);
    cursor.open(u"select id, pid, name, ctrl, used from UserSort"_s);
    DepartTree tree;
    Rows rows = tree.readRows(cursor);
    rows.sortIntoRuns();
    const size_t nodes = rows.ids.size() + 1;
    tree.m_ids.reserve(nodes);
    tree.m_parents.reserve(nodes);
    tree.m_firstChild.reserve(nodes + 1);
    tree.m_captionStart.reserve(nodes);
    tree.m_captionSize.reserve(nodes);
    tree.m_icons.reserve(nodes);
    const qsizetype rootStart = tree.m_captions.size();
    tree.m_captions.append(rootName);
    tree.addNode(0, -1, rootStart, rootName.size(), RootIcon);
    tree.placeChildren(rows);
    tree.m_captions.squeeze();
    return tree;
}

DepartTree::Rows DepartTree::readRows(DbCursor& cursor) {
    enum Column { Id, Pid, Name, Ctrl, Used };
    Rows rows;
    IdMap seen;
    while (cursor.next()) {
        const qint32 id = qint32(cursor.integer(Id));
        const int before = seen.value(id); // -1: new; 0: read once; 1: listed as stored twice
        if (before < 1)
            seen.insert(id, before + 1);
        if (before == 0)
            m_storedTwice.append(id);
        rows.ids.push_back(id);
        rows.pids.push_back(qint32(cursor.integer(Pid)));
        const auto [start, size] = appendCaption(cursor.text(Name));
        rows.captionStart.push_back(start);
        rows.captionSize.push_back(size);
        rows.icons.push_back(iconOf(cursor.integer(Ctrl) != 0, cursor.integer(Used) != 0));
    }
    std::sort(m_storedTwice.begin(), m_storedTwice.end());
    return rows;
}

void DepartTree::Rows::sortIntoRuns() {
    // (pid, id) as one unsigned key that sorts as the signed pair does.
    std::vector<std::pair<quint64, int>> keys(ids.size());
    for (size_t row = 0; row < ids.size(); ++row) {
        const quint64 pid = quint32(pids[row]) ^ 0x80000000u;
        keys[row] = {pid << 32 | (quint32(ids[row]) ^ 0x80000000u), int(row)};
    }
    std::sort(keys.begin(), keys.end());
    order.reserve(keys.size());
    for (const auto& [key, row] : keys) {
        const int at = int(order.size());
        if (at == 0 || pids[size_t(row)] != pids[size_t(order.back())]) {
            runOf.insert(pids[size_t(row)], int(runs.size()));
            runs.emplace_back(at, at);
        }
        ++runs.back().second;
        order.push_back(row);
    }
}

// The caption decoded straight into the buffer; gives where it lies there without the blanks
// around it, which the buffer keeps.
std::pair<int, int> DepartTree::appendCaption(QByteArrayView utf8) {
    const qsizetype start = m_captions.size();
    if (!utf8.isEmpty()) {
        m_captions.resize(start + utf8.size()); // no more UTF-16 units than UTF-8 bytes
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QChar* end = decoder.appendToBuffer(m_captions.data() + start, utf8);
        m_captions.truncate(end - m_captions.constData());
    }
    const QStringView added = QStringView(m_captions).mid(start);
    const QStringView caption = added.trimmed();
    return {int(start + (caption.data() - added.data())), int(caption.size())};
}

// Breadth first: the nodes themselves are the queue, and each node's children are appended in
// one run.
void DepartTree::placeChildren(const Rows& rows) {
    for (int node = 0; node < size(); ++node) {
        m_firstChild.push_back(size());
        const int run = rows.runOf.value(id(node));
        if (run < 0)
            continue;
        for (int at = rows.runs[size_t(run)].first; at < rows.runs[size_t(run)].second; ++at) {
            const size_t r = size_t(rows.order[size_t(at)]);
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
