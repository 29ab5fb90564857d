#pragma once

#include "BlockStorage.h"
#include "IdMap.h"
#include "Item.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <span>

// One row of the user list as the view and the editing commands see it: icon index (2 online,
// 3 offline), the caption (user name), the seven sub-items in column order (department, IP,
// computer, role, decrypt mark, version, scan task) and the row's identity.
struct UserRow {
    static constexpr int OnlineImage = 2;
    static constexpr int OfflineImage = 3;
    static constexpr int DecryptSubItem = 4;   // "V" or "-"
    static QString decryptMark(bool decrypts); // "V" or "-"

    bool online() const { return ImageIndex == OnlineImage; }
    bool decrypts() const;

    int ImageIndex = OfflineImage;
    QString Caption;
    QStringList SubItems; // always 7 entries
    TItem Item;
};

// The rows of the user list, kept compactly: a small record per row, the row's own texts as
// UTF-8 in byte blocks, department and role names shared by all rows that show them (all in
// blocks, so that dropping a list frees a few blocks, not a value per row or name). Texts are
// decoded only when asked for. Keeps the counters (online, decrypting) and a Uid -> row index
// in step with every change.
class UserListStore {
public:
    // A user as the list statement gives it. The department and role names are shared: found
    // by the user's Pid and RoleId with departName() and roleName().
    struct Fields {
        qint32 uid = 0;
        bool online = false;
        bool decrypts = false;
        quint32 departName = 0;
        quint32 roleName = 0;
        QByteArrayView userName, ip, computerName, cliVer, scanTime, hardNo;
    };
    // The shared name of key; read() gives its UTF-8 text when the key is new.
    template <typename Read> quint32 departName(qint64 key, Read&& read) {
        return sharedName(m_departByKey, key, read);
    }
    template <typename Read> quint32 roleName(qint64 key, Read&& read) {
        return sharedName(m_roleByKey, key, read);
    }

    int size() const { return int(m_records.size()); }
    int onlineCount() const { return m_online; }
    int decryptCount() const { return m_decrypting; }

    void append(const Fields& fields);
    void append(const UserRow& row);
    void replace(int row, const UserRow& value);
    void remove(int first, int last); // rows first..last, both included
    void setOnline(int row, bool online);
    void clear();

    UserRow row(int row) const;
    // The caption (column 0) or sub-item column - 1.
    QString text(int row, int column) const;
    // Whether the rows share the texts of column (department, role, decrypt mark); then the
    // number of a row's text among them: rows of one number show the same text until clear().
    static bool sharesTexts(int column) { return column == 1 || column == 4 || column == 5; }
    quint32 sharedText(int row, int column) const;
    qint32 uid(int row) const { return m_records[size_t(row)].uid; }
    bool online(int row) const { return m_records[size_t(row)].flags & Online; }
    bool decrypts(int row) const { return m_records[size_t(row)].flags & Decrypts; }
    int find(qint32 uid) const; // the first row of the user, or -1

    size_t bytes() const; // memory held, for measurements

private:
    enum Flag : quint8 { Online = 1, Decrypts = 2 };
    // The row's own texts, in this order, in its byte run.
    enum OwnText { UserName, Ip, ComputerName, CliVer, ScanTime, HardNo, OwnTextCount };

    struct Record {
        qint32 uid;
        quint32 textBlock;
        quint32 textOffset;
        quint32 depart; // index in m_names
        quint32 role;   // index in m_names
        quint8 flags;
    };

    void add(Record record);
    ByteBlocks::Position storeTexts(std::span<const QByteArrayView> texts);
    QByteArrayView ownText(const Record& record, OwnText which) const;
    template <typename Read> quint32 sharedName(IdMap& byKey, qint64 key, Read& read) {
        if (const int found = byKey.value(key); found >= 0)
            return quint32(found);
        const quint32 index = addName(read());
        byKey.insert(key, int(index));
        return index;
    }
    quint32 addName(QByteArrayView utf8);
    QString name(quint32 index) const;
    quint32 keptOrAdded(quint32 kept, const QString& name);
    void count(const Record& record, int sign);

    BlockArray<Record> m_records;
    ByteBlocks m_texts;
    BlockArray<ByteBlocks::Position> m_names; // shared names in m_texts; 0: no name
    IdMap m_departByKey;
    IdMap m_roleByKey;
    IdMap m_rowOfUid;
    int m_online = 0;
    int m_decrypting = 0;
};
