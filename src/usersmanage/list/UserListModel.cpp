#include "UserListModel.h"

#include <QMimeData>
#include <algorithm>
#include <iterator>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

const UserListModel::Column UserListModel::Columns[SubItemCount + 1] = {
    {QT_TRANSLATE_NOOP("UserListModel", "用户名"), 70, false},
    {QT_TRANSLATE_NOOP("UserListModel", "所在部门"), 80, false},
    {QT_TRANSLATE_NOOP("UserListModel", "机器IP"), 100, false},
    {QT_TRANSLATE_NOOP("UserListModel", "机器名"), 90, false},
    {QT_TRANSLATE_NOOP("UserListModel", "角色"), 70, false},
    {QT_TRANSLATE_NOOP("UserListModel", "解密"), 38, true},
    {QT_TRANSLATE_NOOP("UserListModel", "客户端版本"), 70, true},
    {QT_TRANSLATE_NOOP("UserListModel", "扫描任务"), 115, false},
};

QString UserListModel::mimeType() {
    return u"application/x-kvz-user-rows"_s;
}

UserListModel::UserListModel(QList<QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), m_images(std::move(images)) {}

// The bounds checked here, without two virtual calls: a view laying out the list asks for the
// index of every row.
QModelIndex UserListModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || size_t(row) >= m_order.size() || column < 0 ||
        column > SubItemCount)
        return {};
    return createIndex(row, column);
}

int UserListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_order.size());
}

int UserListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : SubItemCount + 1;
}

QVariant UserListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    const int row = storeRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return m_store.text(row, column);
    case Qt::DecorationRole: {
        const int image = m_store.online(row) ? UserRow::OnlineImage : UserRow::OfflineImage;
        if (column == 0 && image < m_images.size())
            return m_images.at(image);
        return {};
    }
    case Qt::TextAlignmentRole:
        if (Columns[column].centred)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    default:
        return {};
    }
}

QVariant UserListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section > SubItemCount)
        return {};
    if (role == Qt::DisplayRole)
        return tr(Columns[section].caption);
    if (role == Qt::TextAlignmentRole && Columns[section].centred)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder); // a first click on a column sorts it ascending
    return {};
}

Qt::ItemFlags UserListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Rows without children spare the view the look for them when it lays out the list.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList UserListModel::mimeTypes() const {
    return {mimeType()};
}

QMimeData* UserListModel::mimeData(const QModelIndexList& indexes) const {
    QList<int> rows;
    for (const QModelIndex& index : indexes)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList ids;
    for (int r : rows)
        ids.append(QString::number(m_store.uid(storeRow(r))));
    auto* mime = new QMimeData; // handed to the drag, which owns it
    mime->setData(mimeType(), ids.join(u'\n').toUtf8());
    return mime;
}

// A second click on the sorting column turns the list round on the keys it has; any other
// order is sorted afresh.
void UserListModel::sort(int column, Qt::SortOrder order) {
    if (isSorted() && m_sorting->column() == column && m_sorting->order() != order &&
        m_arranged.empty()) {
        StoreRows rows = m_order;
        m_sorting->turnRound(rows);
        reorder(std::move(rows));
        return;
    }
    m_arranged.clear();
    m_sorting.reset();
    if (column >= 0 && column <= SubItemCount) {
        m_sorting.emplace(column, order);
        m_sorting->keyNewRows(m_store);
    }
    StoreRows rows(m_order.size());
    std::iota(rows.begin(), rows.end(), 0);
    if (isSorted())
        m_sorting->sort(rows);
    reorder(std::move(rows));
}

void UserListModel::clear() {
    beginResetModel();
    m_store.clear();
    m_order.clear();
    m_listRow.clear();
    m_arranged.clear();
    if (isSorted())
        m_sorting->clearKeys();
    endResetModel();
}

void UserListModel::keyNewRows() {
    if (isSorted())
        m_sorting->keyNewRows(m_store);
}

// The store rows read since the last call, merged into the order of every row read: a few
// comparisons per new row and one pass over the order, however long the list.
void UserListModel::arrange() {
    if (!isSorted())
        return;
    const int arranged = m_arranged.empty() ? rowCount() : int(m_arranged.size());
    if (arranged == m_store.size())
        return;
    if (m_arranged.empty())
        m_arranged = m_order;
    m_sorting->keyNewRows(m_store);
    StoreRows added(size_t(m_store.size() - arranged));
    std::iota(added.begin(), added.end(), arranged);
    m_sorting->merge(m_arranged, std::move(added));
}

// New rows are appended to the views first, then a sorted list takes the order arranged.
void UserListModel::publish() {
    const int shown = rowCount();
    if (m_store.size() == shown)
        return;
    arrange();
    StoreRows arranged = std::move(m_arranged);
    m_arranged.clear();
    beginInsertRows({}, shown, m_store.size() - 1);
    for (int row = shown; row < m_store.size(); ++row) {
        m_order.push_back(row);
        m_listRow.push_back(row);
    }
    endInsertRows();
    if (isSorted())
        reorder(std::move(arranged));
}

int UserListModel::appendRow(const UserRow& row) {
    publish();
    m_store.append(row);
    const int added = m_store.size() - 1;
    int at = rowCount();
    if (isSorted()) {
        m_sorting->keyNewRows(m_store);
        at = int(std::lower_bound(m_order.begin(), m_order.end(), added,
                                  [this](int a, int b) { return m_sorting->before(a, b); }) -
                 m_order.begin());
    }
    beginInsertRows({}, at, at);
    m_order.insert(m_order.begin() + at, added);
    m_listRow.push_back(at);
    renumber(at, rowCount() - 1);
    endInsertRows();
    return at;
}

// The list rows go from the bottom up, one notification per run of adjacent rows; the store
// rows behind them go at the end.
void UserListModel::removeRowsAt(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    StoreRows storeRows;
    qsizetype i = 0;
    while (i < rows.size()) {
        const int last = rows.at(i);
        int first = last;
        while (i + 1 < rows.size() && rows.at(i + 1) == first - 1)
            first = rows.at(++i);
        ++i;
        if (first < 0 || last >= rowCount())
            continue;
        beginRemoveRows({}, first, last);
        storeRows.insert(storeRows.end(), m_order.begin() + first, m_order.begin() + last + 1);
        m_order.erase(m_order.begin() + first, m_order.begin() + last + 1);
        endRemoveRows();
    }
    removeFromStore(std::move(storeRows));
}

UserRow UserListModel::row(int index) const {
    Q_ASSERT(index >= 0 && index < rowCount());
    return m_store.row(storeRow(index));
}

void UserListModel::setRow(int index, const UserRow& row) {
    if (index < 0 || index >= rowCount())
        return;
    const int changed = storeRow(index);
    m_store.replace(changed, row);
    if (isSorted())
        rekey(changed);
    emit dataChanged(this->index(index, 0), this->index(index, SubItemCount));
    moveToItsPlace(index);
}

void UserListModel::setOnlineAt(int storeRow, bool online) {
    if (storeRow < 0 || storeRow >= m_store.size() || m_store.online(storeRow) == online)
        return;
    m_store.setOnline(storeRow, online);
    if (storeRow < rowCount()) {
        const int row = listRow(storeRow);
        emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole});
    }
}

void UserListModel::setAllOffline() {
    for (int row = 0; row < m_store.size(); ++row)
        m_store.setOnline(row, false);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

int UserListModel::findById(qint32 id) const {
    const int row = m_store.find(id);
    return row >= 0 && row < rowCount() ? listRow(row) : -1;
}

// Views, selections and current rows follow their rows into the new order.
void UserListModel::reorder(StoreRows order) {
    emit layoutAboutToBeChanged({}, VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> storeRows;
    for (const QModelIndex& index : before)
        storeRows.append(storeRow(index.row()));
    m_order = std::move(order);
    m_listRowStale = true;
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        // A few rows are found in the new order; many at once through the renumbered index.
        const int row =
            before.size() > 8
                ? listRow(storeRows.at(i))
                : int(std::find(m_order.begin(), m_order.end(), storeRows.at(i)) - m_order.begin());
        after.append(index(row, before.at(i).column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, VerticalSortHint);
}

// A changed row gets its new key and, among the rows arranged ahead of publishing, its place.
void UserListModel::rekey(int storeRow) {
    m_sorting->rekey(m_store, storeRow);
    if (m_arranged.empty())
        return;
    std::erase(m_arranged, storeRow);
    m_arranged.insert(std::lower_bound(m_arranged.begin(), m_arranged.end(), storeRow,
                                       [this](int a, int b) { return m_sorting->before(a, b); }),
                      storeRow);
}

// A changed row of a sorted list moves up or down to where its new texts belong.
void UserListModel::moveToItsPlace(int row) {
    if (!isSorted())
        return;
    const auto before = [this](int a, int b) { return m_sorting->before(a, b); };
    const auto at = m_order.begin() + row;
    const int moved = *at;
    int to = row; // the row it goes before, counted before the move
    if (row > 0 && before(moved, at[-1]))
        to = int(std::lower_bound(m_order.begin(), at, moved, before) - m_order.begin());
    else if (row + 1 < rowCount() && before(at[1], moved))
        to = int(std::lower_bound(at + 1, m_order.end(), moved, before) - m_order.begin());
    if (to == row || !beginMoveRows({}, row, row, {}, to))
        return;
    if (to < row) {
        std::rotate(m_order.begin() + to, at, at + 1);
        renumber(to, row);
    } else {
        std::rotate(at, at + 1, m_order.begin() + to);
        renumber(row, to - 1);
    }
    endMoveRows();
}

// Removes the store rows of rows no longer listed and renumbers the others.
void UserListModel::removeFromStore(StoreRows storeRows) {
    std::sort(storeRows.begin(), storeRows.end());
    for (auto last = storeRows.rbegin(); last != storeRows.rend();) {
        auto first = last;
        while (std::next(first) != storeRows.rend() && *std::next(first) == *first - 1)
            ++first;
        m_store.remove(*first, *last);
        last = std::next(first);
    }
    if (isSorted())
        m_sorting->removeKeys(storeRows);
    std::erase_if(m_arranged, [&](int row) {
        return std::binary_search(storeRows.begin(), storeRows.end(), row);
    });
    for (StoreRows* rows : {&m_order, &m_arranged})
        for (int& row : *rows)
            row -=
                int(std::lower_bound(storeRows.begin(), storeRows.end(), row) - storeRows.begin());
    m_listRow.resize(m_order.size());
    renumber(0, rowCount() - 1);
}

// After a new order the whole index is written when first needed, not with the order (a
// million rows in random places).
int UserListModel::listRow(int storeRow) const {
    if (m_listRowStale) {
        m_listRowStale = false;
        for (int row = 0; row < rowCount(); ++row)
            m_listRow[size_t(m_order[size_t(row)])] = row;
    }
    return m_listRow[size_t(storeRow)];
}

void UserListModel::renumber(int first, int last) {
    if (m_listRowStale)
        return;
    for (int row = first; row <= last; ++row)
        m_listRow[size_t(m_order[size_t(row)])] = row;
}
