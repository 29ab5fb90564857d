#pragma once

#include "ModuleExport.h"

#include "BlockStorage.h"
#include "DbCursor.h"
#include "HugePages.h"
#include "PostedCall.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QStringDecoder>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <span>
#include <vector>

// The users listed by a dialog's two lists, kept compactly and shared by both, so that moving
// a user between the lists moves a row number: Uid, image, department and the user's name and
// address as UTF-16 in byte blocks (compared in place when sorting). Columns: 0 name, 1 IP,
// 2 department, 3 Uid.
class UserChoices {
public:
    // Where a users statement has the fields every list needs; DbError when one is missing.
    struct Fields {
        explicit Fields(const DbCursor& cursor);
        int uid, pid, userName, ip;
    };

    // A department name, by the number add() takes.
    quint32 addDepart(const QString& name);
    // A user; returns the row number.
    quint32 add(qint32 uid, QByteArrayView userName, QByteArrayView ip, quint32 depart, int image);
    quint32 add(const DbCursor& cursor, const Fields& fields, quint32 depart, int image);
    void clear();

    qint32 uid(quint32 row) const { return m_rows[row].uid; }
    int image(quint32 row) const { return m_rows[row].image; }
    QStringView name(quint32 row) const;
    QString text(quint32 row, int column) const;

private:
    struct Row {
        qint32 uid;
        ByteBlocks::Position texts; // name, then address
        quint32 nameSize;           // in UTF-16 units
        quint32 ipSize;
        quint32 depart;
        qint32 image;
    };
    quint32 decode(QByteArrayView utf8, char16_t* out); // returns the units written

    BlockArray<Row> m_rows;
    ByteBlocks m_texts;
    std::vector<QString> m_departs;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

// One of a dialog's user lists over the dialog's UserChoices. Rows a load adds show when the
// load publishes them; a list that sorts itself (by name) keeps them in order slice by slice,
// equal names in the order they came. Each entry carries the head of its name, so that sorting
// and merging compare in place and look at the names only where the heads are equal.
class KVZ_MODULE_EXPORT UserChoiceModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int HeadUnits = 12;
    struct Entry {
        quint64 head[HeadUnits / 4]; // the name's first UTF-16 units, A to Z folded, 0 past its end
        quint32 row;                 // in UserChoices
        quint32 size;                // of the name
    };
    using Entries = std::vector<Entry, HugePageAllocator<Entry>>;

    UserChoiceModel(std::shared_ptr<const UserChoices> rows, QStringList captions,
                    QList<QIcon> images, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setAutoSort(bool on) { m_autoSort = on; } // before rows are added: they carry heads
    void clear();
    // A load adds rows, then ends each slice with loadedSlice(): a sorting list merges them
    // into its order, and they show each time the rows read have doubled (in an event posted
    // for it) and at the end.
    void addLoaded(quint32 row);
    void loadedSlice(bool last);
    void publish(); // shows every row read

    quint32 rowAt(int row) const { return m_rows[size_t(row)].row; }
    qint32 uid(int row) const { return m_choices->uid(rowAt(row)); }
    QString text(int row, int column) const { return m_choices->text(rowAt(row), column); }

    Entry take(int row);
    void append(const Entry& entry); // at the end, or in order when sorting itself
    Entries takeAll();               // in list order; the list is empty afterwards
    void appendAll(Entries rows);    // as append(), in one step
    void sortBy(int column);         // ascending by compareText of that column, stable

private:
    using Run = Entries;

    Entry entryOf(quint32 row) const;
    // Below, equal to or above 0 as a's name sorts before, with or after b's: the heads decide
    // unless they are equal; then the sizes of names no longer than their heads, or else the
    // whole names.
    int order(const Entry& a, const Entry& b) const {
        for (int i = 0; i < HeadUnits / 4; ++i) {
            if (a.head[i] != b.head[i])
                return a.head[i] < b.head[i] ? -1 : 1;
        }
        if (a.size <= HeadUnits && b.size <= HeadUnits)
            return int(a.size) - int(b.size);
        return orderOfNames(a, b);
    }
    int orderOfNames(const Entry& a, const Entry& b) const;
    bool less(const Entry& a, const Entry& b) const { return order(a, b) < 0; }
    size_t readCount() const; // rows shown and read
    void reserveRows(size_t size);
    void arrange();
    void sortLoaded();
    void mergeNewestRuns();
    void showRuns();
    Run merged(std::span<const Entry> older, std::span<const Entry> newer);
    void recycle(Run&& run);
    int find(const Entry& entry) const;

    std::shared_ptr<const UserChoices> m_choices;
    QStringList m_captions;
    QList<QIcon> m_images;
    Entries m_rows;
    Entries m_loaded; // read, not shown yet, in the order read
    // A sorting list: the rows of the slices read and not shown yet, in sorted runs, older
    // rows first, each run more than twice as long as the next.
    std::vector<Run> m_runs;
    size_t m_pending = 0; // rows in m_runs
    Run m_spare;          // the buffer the next merge fills
    Run m_sortSpace;      // and the one a slice's sort fills
    bool m_autoSort = false;
    PostedCall m_publishSoon{this, [this] { publish(); }};
};

// Moves the row selected in view (showing from) to the other list; nothing without a selection.
void moveSelected(const class QAbstractItemView& view, UserChoiceModel& from, UserChoiceModel& to);
