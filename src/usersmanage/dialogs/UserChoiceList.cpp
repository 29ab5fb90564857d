#include "UserChoiceList.h"

#include "ItemListModel.h"
#include "MergeSorted.h"
#include "SlicedRead.h"

#include <QAbstractItemView>
#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

// Decodes well-formed UTF-8 that does not start with a byte order mark into out, which holds
// as many units as in has bytes; returns the units written, or -1 for anything else (left to
// QStringDecoder, which replaces what is malformed and drops the mark).
qsizetype decodeWellFormed(QByteArrayView in, char16_t* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* const end = p + in.size();
    char16_t* const start = out;
    while (p < end) {
        // Eight ASCII bytes at a time: addresses, and most Latin names, are nothing else.
        quint64 eight = 0x80;
        if (end - p >= 8)
            std::memcpy(&eight, p, sizeof eight);
        if ((eight & 0x8080808080808080u) == 0) {
            for (int i = 0; i < 8; ++i)
                out[i] = char16_t(p[i]);
            p += 8;
            out += 8;
            continue;
        }
        const char32_t lead = *p;
        if (lead < 0x80) {
            *out++ = char16_t(lead);
            ++p;
            continue;
        }
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        if (lead < 0xC2 || lead > 0xF4 || end - p <= extra)
            return -1;
        char32_t code = lead & (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return -1;
            code = code << 6 | (p[i] & 0x3F);
        }
        constexpr char32_t Least[] = {0, 0x80, 0x800, 0x10000};
        if (code < Least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (code == 0xFEFF && out == start))
            return -1;
        p += extra + 1;
        if (QChar::requiresSurrogates(code)) {
            *out++ = QChar::highSurrogate(code);
            *out++ = QChar::lowSurrogate(code);
        } else {
            *out++ = char16_t(code);
        }
    }
    return out - start;
}

} // namespace

quint32 UserChoices::addDepart(const QString& name) {
    m_departs.push_back(name);
    return quint32(m_departs.size() - 1);
}

UserChoices::Fields::Fields(const DbCursor& cursor)
    : uid(SlicedRead::field(cursor, u"Uid"_s)), pid(SlicedRead::field(cursor, u"Pid"_s)),
      userName(SlicedRead::field(cursor, u"UserName"_s)), ip(SlicedRead::field(cursor, u"Ip"_s)) {}

quint32 UserChoices::add(const DbCursor& cursor, const Fields& fields, quint32 depart, int image) {
    return add(qint32(cursor.integer(fields.uid)), cursor.text(fields.userName),
               cursor.text(fields.ip), depart, image);
}

quint32 UserChoices::add(qint32 uid, QByteArrayView userName, QByteArrayView ip, quint32 depart,
                         int image) {
    // Decoded in place: UTF-16 takes no more units than UTF-8 takes bytes.
    const size_t most = size_t(userName.size() + ip.size()) * sizeof(char16_t);
    const ByteBlocks::Position texts = m_texts.reserve(most);
    auto* const out = reinterpret_cast<char16_t*>(m_texts.at(texts));
    const quint32 nameSize = decode(userName, out);
    const quint32 ipSize = decode(ip, out + nameSize);
    m_texts.unreserve(most - (nameSize + ipSize) * sizeof(char16_t));
    m_rows.push_back({uid, texts, nameSize, ipSize, depart, image});
    return quint32(m_rows.size() - 1);
}

quint32 UserChoices::decode(QByteArrayView utf8, char16_t* out) {
    const qsizetype size = decodeWellFormed(utf8, out);
    if (size >= 0)
        return quint32(size);
    auto* const start = reinterpret_cast<QChar*>(out);
    return quint32(m_decoder.appendToBuffer(start, utf8) - start);
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

// The bounds checked here, without two virtual calls: a view laying out the list asks for the
// index of every row.
QModelIndex UserChoiceModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || size_t(row) >= m_rows.size() || column < 0 ||
        column >= m_captions.size())
        return {};
    return createIndex(row, column);
}

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

// Rows without children spare a view the look for them when it lays out a million rows.
Qt::ItemFlags UserChoiceModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void UserChoiceModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_loaded.clear();
    m_runs.clear();
    m_pending = 0;
    m_spare = {};
    endResetModel();
}

void UserChoiceModel::addLoaded(quint32 row) {
    m_loaded.push_back(entryOf(row));
}

// Only a sorting list compares heads.
UserChoiceModel::Entry UserChoiceModel::entryOf(quint32 row) const {
    const QStringView name = m_choices->name(row);
    Entry entry{{}, row, quint32(name.size())};
    if (!m_autoSort)
        return entry;
    // A fixed number of units, zeros past the name's end, so that the loop unrolls.
    std::array<char16_t, HeadUnits> units{};
    std::copy_n(name.utf16(), std::min<qsizetype>(name.size(), HeadUnits), units.begin());
    for (int i = 0; i < HeadUnits; ++i) {
        const char16_t c = units[size_t(i)];
        const char16_t folded = char16_t(c - u'A') < 26 ? char16_t(c + 32) : c;
        entry.head[i / 4] |= quint64(folded) << (48 - 16 * (i % 4));
    }
    return entry;
}

int UserChoiceModel::orderOfNames(const Entry& a, const Entry& b) const {
    return compareText(m_choices->name(a.row), m_choices->name(b.row));
}

size_t UserChoiceModel::readCount() const {
    return m_rows.size() + m_pending + m_loaded.size();
}

// The first rows show at once, later ones when the rows read have doubled, in an event of
// their own after the slice's (showing half a million rows takes as long as a slice); a
// sorting list reserves room for them at the slice before, so that a slice copies the rows
// shown or shows rows, not both. The last slice shows the rest at once, and the buffers of the
// load go.
void UserChoiceModel::loadedSlice(bool last) {
    const size_t slice = m_loaded.size();
    arrange();
    if (last || (m_rows.empty() && readCount() > 0))
        publish();
    else if (readCount() >= 2 * m_rows.size())
        m_publishSoon.post();
    else if (m_autoSort && m_rows.capacity() < 2 * (m_rows.size() + slice))
        reserveRows(2 * (m_rows.size() + 2 * slice));
    if (last) {
        m_spare = {};
        m_sortSpace = {};
    }
}

// The buffer the rows leave is kept for merges.
void UserChoiceModel::reserveRows(size_t size) {
    Run rows;
    rows.reserve(size);
    rows.assign(m_rows.begin(), m_rows.end());
    recycle(std::exchange(m_rows, std::move(rows)));
}

// Rows read go at the end of the views; a sorting list then shows them in order.
void UserChoiceModel::publish() {
    arrange();
    if (!m_runs.empty()) {
        showRuns();
        return;
    }
    if (m_loaded.empty())
        return;
    beginInsertRows({}, rowCount(), rowCount() + int(m_loaded.size()) - 1);
    m_rows.insert(m_rows.end(), m_loaded.begin(), m_loaded.end());
    m_loaded.clear();
    endInsertRows();
}

// A sorting list sorts the rows of a slice into a run, then merges the newest two runs while
// the older is at most twice as long: a row moves about log2(rows / slice) times before it
// shows, and a slice merges at most the rows read since the rows shown last.
void UserChoiceModel::arrange() {
    if (!m_autoSort || m_loaded.empty())
        return;
    sortLoaded();
    const size_t slice = m_loaded.size();
    m_pending += slice;
    m_runs.push_back(std::exchange(m_loaded, {}));
    m_loaded.reserve(slice);
    while (m_runs.size() > 1 && m_runs[m_runs.size() - 2].size() <= 2 * m_runs.back().size())
        mergeNewestRuns();
}

// A stable radix sort by the heads' first four units, a byte a pass from the last, of the
// bytes that differ; then rows of equal units by the rest of their names. Rows read later
// have higher numbers: equal names stay in the order they came.
void UserChoiceModel::sortLoaded() {
    quint64 differ = 0;
    for (const Entry& e : m_loaded)
        differ |= e.head[0] ^ m_loaded.front().head[0];
    m_sortSpace.resize(m_loaded.size());
    for (int shift = 0; shift < 64; shift += 8) {
        if ((differ >> shift & 0xFF) == 0)
            continue;
        std::array<size_t, 256> at{};
        for (const Entry& e : m_loaded)
            ++at[e.head[0] >> shift & 0xFF];
        size_t sum = 0;
        for (size_t& count : at)
            sum += std::exchange(count, sum);
        for (const Entry& e : m_loaded)
            m_sortSpace[at[e.head[0] >> shift & 0xFF]++] = e;
        m_loaded.swap(m_sortSpace);
    }
    for (auto from = m_loaded.begin(); from != m_loaded.end();) {
        const auto to = std::find_if(
            from, m_loaded.end(), [&from](const Entry& e) { return e.head[0] != from->head[0]; });
        std::sort(from, to, [this](const Entry& a, const Entry& b) {
            const int names = order(a, b);
            return names != 0 ? names < 0 : a.row < b.row;
        });
        from = to;
    }
}

void UserChoiceModel::mergeNewestRuns() {
    Run newer = std::move(m_runs.back());
    m_runs.pop_back();
    recycle(std::exchange(m_runs.back(), merged(m_runs.back(), newer)));
    recycle(std::move(newer));
}

// The rows shown grow at their end, so that views add rows; then the runs merge into them in
// one pass from the back, and views, selections and current rows follow their rows into the
// new order.
void UserChoiceModel::showRuns() {
    while (m_runs.size() > 1)
        mergeNewestRuns();
    Run run = std::move(m_runs.front());
    m_runs.clear();
    m_pending = 0;
    const size_t shown = m_rows.size();
    beginInsertRows({}, int(shown), int(shown + run.size()) - 1);
    m_rows.resize(shown + run.size(), run.front());
    endInsertRows();
    emit layoutAboutToBeChanged({}, VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<Entry> kept;
    for (const QModelIndex& index : before)
        kept.push_back(m_rows[size_t(index.row())]);
    // From the back, the rows shown stay before equal names read later.
    const Entry* const first = m_rows.data();
    const Entry* const added = run.data();
    const Entry* older = first + shown;
    const Entry* newer = added + run.size();
    Entry* out = m_rows.data() + m_rows.size();
    while (older != first && newer != added) {
        const bool fromOlder = less(newer[-1], older[-1]);
        *--out = fromOlder ? older[-1] : newer[-1];
        older -= fromOlder;
        newer -= !fromOlder;
    }
    std::copy(added, newer, m_rows.begin() + (older - first));
    QModelIndexList after;
    for (size_t i = 0; i < kept.size(); ++i)
        after.append(index(find(kept[i]), before.at(qsizetype(i)).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, VerticalSortHint);
    recycle(std::move(run));
}

// Into the buffer left by an earlier merge; among equal names older's rows come first.
UserChoiceModel::Run UserChoiceModel::merged(std::span<const Entry> older,
                                             std::span<const Entry> newer) {
    Run out = std::exchange(m_spare, {});
    out.clear();
    out.reserve(older.size() + newer.size());
    auto a = older.begin();
    auto b = newer.begin();
    while (a != older.end() && b != newer.end()) {
        const bool fromNewer = less(*b, *a);
        out.push_back(fromNewer ? *b : *a);
        a += !fromNewer;
        b += fromNewer;
    }
    out.insert(out.end(), a, older.end());
    out.insert(out.end(), b, newer.end());
    return out;
}

// Keeps the larger buffer for the next merge.
void UserChoiceModel::recycle(Run&& run) {
    if (run.capacity() > m_spare.capacity())
        m_spare = std::move(run);
}

// The list row of an entry of a sorting list: among the entries of its name.
int UserChoiceModel::find(const Entry& entry) const {
    const auto before = [this](const Entry& a, const Entry& b) { return less(a, b); };
    const auto [first, last] = std::equal_range(m_rows.begin(), m_rows.end(), entry, before);
    return int(std::find_if(first, last, [&entry](const Entry& e) { return e.row == entry.row; }) -
               m_rows.begin());
}

UserChoiceModel::Entry UserChoiceModel::take(int row) {
    const Entry taken = m_rows[size_t(row)];
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return taken;
}

void UserChoiceModel::append(const Entry& entry) {
    const auto before = [this](const Entry& a, const Entry& b) { return less(a, b); };
    const auto at =
        m_autoSort ? std::upper_bound(m_rows.begin(), m_rows.end(), entry, before) : m_rows.end();
    const int position = int(at - m_rows.begin());
    beginInsertRows({}, position, position);
    m_rows.insert(at, entry);
    endInsertRows();
}

UserChoiceModel::Entries UserChoiceModel::takeAll() {
    publish();
    beginResetModel();
    Entries taken = std::move(m_rows);
    m_rows.clear();
    endResetModel();
    return taken;
}

// Rows in order (from another sorting list) merge in one linear pass.
void UserChoiceModel::appendAll(Entries rows) {
    if (rows.empty())
        return;
    publish();
    beginResetModel();
    if (m_autoSort) {
        const auto before = [this](const Entry& a, const Entry& b) { return less(a, b); };
        if (!std::is_sorted(rows.begin(), rows.end(), before))
            std::stable_sort(rows.begin(), rows.end(), before);
        mergeSorted(m_rows, rows, before);
    } else {
        m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    }
    endResetModel();
}

void UserChoiceModel::sortBy(int column) {
    publish();
    std::vector<QString> texts;
    texts.reserve(m_rows.size());
    for (const Entry& entry : m_rows)
        texts.push_back(m_choices->text(entry.row, column));
    std::vector<size_t> positions(m_rows.size());
    std::iota(positions.begin(), positions.end(), size_t(0));
    std::stable_sort(positions.begin(), positions.end(),
                     [&texts](size_t a, size_t b) { return compareText(texts[a], texts[b]) < 0; });
    beginResetModel();
    Entries sorted;
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
