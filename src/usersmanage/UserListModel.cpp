#include "UserListModel.h"

#include <QMimeData>
#include <algorithm>

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

int UserListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

int UserListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : SubItemCount + 1;
}

QVariant UserListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return m_store.text(index.row(), column);
    case Qt::DecorationRole: {
        const int image =
            m_store.online(index.row()) ? UserRow::OnlineImage : UserRow::OfflineImage;
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
        ids.append(QString::number(m_store.uid(r)));
    auto* mime = new QMimeData; // handed to the drag, which owns it
    mime->setData(mimeType(), ids.join(u'\n').toUtf8());
    return mime;
}

void UserListModel::clear() {
    beginResetModel();
    m_store.clear();
    m_published = 0;
    endResetModel();
}

void UserListModel::publish() {
    if (m_store.size() == m_published)
        return;
    beginInsertRows({}, m_published, m_store.size() - 1);
    m_published = m_store.size();
    endInsertRows();
}

int UserListModel::appendRow(const UserRow& row) {
    publish();
    beginInsertRows({}, m_published, m_published);
    m_store.append(row);
    m_published = m_store.size();
    endInsertRows();
    return m_published - 1;
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
        m_store.remove(first, last);
        m_published -= last - first + 1;
        endRemoveRows();
    }
}

UserRow UserListModel::row(int index) const {
    Q_ASSERT(index >= 0 && index < m_store.size());
    return m_store.row(index);
}

void UserListModel::setRow(int index, const UserRow& row) {
    if (index < 0 || index >= rowCount())
        return;
    m_store.replace(index, row);
    emit dataChanged(this->index(index, 0), this->index(index, SubItemCount));
}

void UserListModel::setOnlineAt(int storeRow, bool online) {
    if (storeRow < 0 || storeRow >= m_store.size() || m_store.online(storeRow) == online)
        return;
    m_store.setOnline(storeRow, online);
    if (storeRow < m_published)
        emit dataChanged(index(storeRow, 0), index(storeRow, 0), {Qt::DecorationRole});
}

void UserListModel::setAllOffline() {
    for (int row = 0; row < m_store.size(); ++row)
        m_store.setOnline(row, false);
    if (m_published > 0)
        emit dataChanged(index(0, 0), index(m_published - 1, 0), {Qt::DecorationRole});
}

int UserListModel::findById(qint32 id) const {
    const int row = m_store.find(id);
    return row < m_published ? row : -1;
}
