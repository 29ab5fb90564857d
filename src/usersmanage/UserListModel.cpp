#include "UserListModel.h"

#include <QMimeData>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

const UserListModel::Column UserListModel::Columns[SubItemCount + 1] = {
    {u"用户名", 70, false},    {u"所在部门", 80, false},  {u"机器IP", 100, false},
    {u"机器名", 90, false},    {u"角色", 70, false},      {u"解密", 38, true},
    {u"客户端版本", 70, true}, {u"扫描任务", 115, false},
};

QString UserRow::decryptMark(bool decrypts) {
    return decrypts ? u"V"_s : u"-"_s;
}

bool UserRow::decrypts() const {
    return SubItems.value(UserListModel::DecryptSubItem) == u"V";
}

QString UserListModel::mimeType() {
    return u"application/x-kvz-user-rows"_s;
}

UserListModel::UserListModel(QList<QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), m_images(std::move(images)) {}

int UserListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int UserListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : SubItemCount + 1;
}

QVariant UserListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const UserRow& r = m_rows[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == 0)
            return r.Caption;
        return column - 1 < r.SubItems.size() ? r.SubItems.at(column - 1) : QString();
    case Qt::DecorationRole:
        if (column == 0 && r.ImageIndex >= 0 && r.ImageIndex < m_images.size())
            return m_images.at(r.ImageIndex);
        return {};
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
        return QString::fromUtf16(Columns[section].caption);
    if (role == Qt::TextAlignmentRole && Columns[section].centred)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

Qt::ItemFlags UserListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
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
        ids.append(QString::number(row(r).Item.Id));
    auto* mime = new QMimeData; // handed to the drag, which owns it
    mime->setData(mimeType(), ids.join(u'\n').toUtf8());
    return mime;
}

void UserListModel::clear() {
    beginResetModel();
    std::vector<UserRow>().swap(m_rows); // releases the memory of a large list
    endResetModel();
}

void UserListModel::appendRows(std::vector<UserRow>&& rows) {
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
    rows.clear();
}

int UserListModel::appendRow(UserRow row) {
    const int index = rowCount();
    beginInsertRows({}, index, index);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return index;
}

void UserListModel::removeRowsAt(QList<int> rows) {
    // Remove from the bottom up, one notification per run of adjacent rows.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
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
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
}

const UserRow& UserListModel::row(int index) const {
    Q_ASSERT(index >= 0 && index < rowCount());
    return m_rows[static_cast<size_t>(index)];
}

void UserListModel::setRow(int index, UserRow row) {
    if (index < 0 || index >= rowCount())
        return;
    m_rows[static_cast<size_t>(index)] = std::move(row);
    emit dataChanged(this->index(index, 0), this->index(index, SubItemCount));
}

int UserListModel::findById(qint32 id) const {
    const auto found = std::find_if(m_rows.begin(), m_rows.end(),
                                    [id](const UserRow& r) { return r.Item.Id == id; });
    return found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
}
