#include "UserChoiceList.h"

#include "ItemListModel.h"
#include "MergeSorted.h"

#include <QAbstractItemView>
#include <algorithm>
#include <cstring>
#include <numeric>

quint32 UserChoices::addDepart(const QString& name) {
    m_departs.push_back(name);
    return quint32(m_departs.size() - 1);
}

quint32 UserChoices::add(qint32 uid, QByteArrayView userName, QByteArrayView ip, quint32 depart,
                         int image) {
    m_scratch.clear();
    const quint32 nameSize = decode(userName);
    const quint32 ipSize = decode(ip);
    const ByteBlocks::Position texts = m_texts.reserve(m_scratch.size() * sizeof(char16_t));
    if (!m_scratch.empty())
        std::memcpy(m_texts.at(texts), m_scratch.data(), m_scratch.size() * sizeof(char16_t));
    m_rows.push_back({uid, texts, nameSize, ipSize, depart, image});
    return quint32(m_rows.size() - 1);
}

quint32 UserChoices::decode(QByteArrayView utf8) {
    const size_t at = m_scratch.size();
    m_scratch.resize(at + size_t(utf8.size())); // UTF-16 takes no more units than UTF-8 bytes
    auto* out = reinterpret_cast<QChar*>(m_scratch.data() + at);
    const qsizetype size = m_decoder.appendToBuffer(out, utf8) - out;
    m_scratch.resize(at + size_t(size));
    return quint32(size);
}

void UserChoices::clear() {
    m_rows.clear();
    m_texts.clear();
    m_departs.clear();
}

QStringView UserChoices::name(quint32 row) const {
    const Row& r = m_rows[row];
    return QStringView(reinterpret_cast<const char16_t*>(m_texts.at(r.texts)), r.nameSize);
}

QString UserChoices::text(quint32 row, int column) const {
    const Row& r = m_rows[row];
    switch (column) {
    case 0:
        return name(row).toString();
    case 1:
        return QStringView(reinterpret_cast<const char16_t*>(m_texts.at(r.texts)) + r.nameSize,
                           r.ipSize)
            .toString();
    case 2:
        return m_departs[r.depart];
    case 3:
        return QString::number(r.uid);
    default:
        return {};
    }
}

UserChoiceModel::UserChoiceModel(std::shared_ptr<const UserChoices> rows, QStringList captions,
                                 QList<QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), m_choices(std::move(rows)), m_captions(std::move(captions)),
      m_images(std::move(images)) {}

int UserChoiceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int UserChoiceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant UserChoiceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    const int image = m_choices->image(rowAt(index.row()));
    if (role == Qt::DecorationRole && index.column() == 0 && image >= 0 && image < m_images.size())
        return m_images.at(image);
    return {};
}

QVariant UserChoiceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_captions.value(section);
    return {};
}

void UserChoiceModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_loaded.clear();
    m_arranged.clear();
    endResetModel();
}

void UserChoiceModel::addLoaded(quint32 row) {
    m_loaded.push_back(row);
}

size_t UserChoiceModel::readCount() const {
    return (m_arranged.empty() ? m_rows.size() : m_arranged.size()) + m_loaded.size();
}

void UserChoiceModel::loadedSlice(bool last) {
    arrange();
    if (last || readCount() >= 2 * m_rows.size())
        publish();
}

// Rows read go at the end of the views, then a sorting list takes the order arranged.
void UserChoiceModel::publish() {
    arrange();
    const size_t read = readCount();
    if (read == m_rows.size())
        return;
    beginInsertRows({}, rowCount(), int(read) - 1);
    if (m_autoSort)
        m_rows.resize(read, m_arranged.front()); // in their places at once, below
    else
        m_rows.insert(m_rows.end(), m_loaded.begin(), m_loaded.end());
    m_loaded.clear();
    endInsertRows();
    if (m_autoSort) {
        setOrder(std::move(m_arranged));
        m_arranged.clear();
    }
}

bool UserChoiceModel::nameLess(quint32 a, quint32 b) const {
    return compareText(m_choices->name(a), m_choices->name(b)) < 0;
}

// A sorting list merges the rows read since the last call into the order of every row read.
void UserChoiceModel::arrange() {
    if (!m_autoSort || m_loaded.empty())
        return;
    if (m_arranged.empty())
        m_arranged = m_rows;
    const auto less = [this](quint32 a, quint32 b) { return nameLess(a, b); };
    if (!std::is_sorted(m_loaded.begin(), m_loaded.end(), less))
        std::stable_sort(m_loaded.begin(), m_loaded.end(), less);
    mergeSorted(m_arranged, m_loaded, less);
    m_loaded.clear();
}

// Views, selections and current rows follow their rows into the sorting list's new order.
void UserChoiceModel::setOrder(std::vector<quint32> rows) {
    emit layoutAboutToBeChanged({}, VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<quint32> kept;
    for (const QModelIndex& index : before)
        kept.push_back(rowAt(index.row()));
    m_rows = std::move(rows);
    QModelIndexList after;
    for (size_t i = 0; i < kept.size(); ++i)
        after.append(index(find(kept[i]), before.at(qsizetype(i)).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, VerticalSortHint);
}

// The list row of row in a sorting list: among the rows of its name.
int UserChoiceModel::find(quint32 row) const {
    const auto less = [this](quint32 a, quint32 b) { return nameLess(a, b); };
    const auto [first, last] = std::equal_range(m_rows.begin(), m_rows.end(), row, less);
    return int(std::find(first, last, row) - m_rows.begin());
}

quint32 UserChoiceModel::take(int row) {
    const quint32 taken = rowAt(row);
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    std::erase(m_arranged, taken);
    return taken;
}

void UserChoiceModel::append(quint32 row) {
    const auto less = [this](quint32 a, quint32 b) { return nameLess(a, b); };
    const auto at =
        m_autoSort ? std::upper_bound(m_rows.begin(), m_rows.end(), row, less) : m_rows.end();
    const int position = int(at - m_rows.begin());
    beginInsertRows({}, position, position);
    m_rows.insert(at, row);
    endInsertRows();
    if (!m_arranged.empty())
        m_arranged.insert(std::upper_bound(m_arranged.begin(), m_arranged.end(), row, less), row);
}

std::vector<quint32> UserChoiceModel::takeAll() {
    publish();
    beginResetModel();
    std::vector<quint32> taken = std::move(m_rows);
    m_rows.clear();
    endResetModel();
    return taken;
}

// Sorted rows (from another sorting list) merge in one linear pass.
void UserChoiceModel::appendAll(std::vector<quint32> rows) {
    if (rows.empty())
        return;
    publish();
    beginResetModel();
    if (m_autoSort) {
        const auto less = [this](quint32 a, quint32 b) { return nameLess(a, b); };
        if (!std::is_sorted(rows.begin(), rows.end(), less))
            std::stable_sort(rows.begin(), rows.end(), less);
        mergeSorted(m_rows, rows, less);
    } else {
        m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    }
    endResetModel();
}

void UserChoiceModel::sortBy(int column) {
    publish();
    std::vector<QString> texts;
    texts.reserve(m_rows.size());
    for (const quint32 row : m_rows)
        texts.push_back(m_choices->text(row, column));
    std::vector<size_t> positions(m_rows.size());
    std::iota(positions.begin(), positions.end(), size_t(0));
    std::stable_sort(positions.begin(), positions.end(),
                     [&texts](size_t a, size_t b) { return compareText(texts[a], texts[b]) < 0; });
    beginResetModel();
    std::vector<quint32> sorted;
    sorted.reserve(m_rows.size());
    for (const size_t position : positions)
        sorted.push_back(m_rows[position]);
    m_rows.swap(sorted);
    endResetModel();
}

void moveSelected(const QAbstractItemView& view, UserChoiceModel& from, UserChoiceModel& to) {
    from.publish();
    to.publish();
    const int row = selectedRow(view);
    if (row >= 0)
        to.append(from.take(row));
}
