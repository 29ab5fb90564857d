#include "UserListStore.h"

using namespace Qt::Literals::StringLiterals;

#include <cstring>

namespace {

size_t varintSize(size_t value) {
    size_t size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

char* writeVarint(char* out, size_t value) {
    while (value >= 0x80) {
        *out++ = char((value & 0x7f) | 0x80);
        value >>= 7;
    }
    *out++ = char(value);
    return out;
}

const char* readVarint(const char* in, size_t& value) {
    value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        value |= size_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return in;
    }
}

QString decoded(QByteArrayView utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

QString UserRow::decryptMark(bool decrypts) {
    return decrypts ? u"V"_s : u"-"_s;
}

bool UserRow::decrypts() const {
    return SubItems.value(DecryptSubItem) == u"V";
}

void UserListStore::append(const Fields& fields) {
    const QByteArrayView texts[OwnTextCount] = {fields.userName,     fields.ip,
                                                fields.computerName, fields.cliVer,
                                                fields.scanTime,     fields.hardNo};
    const ByteBlocks::Position position = storeTexts(texts);
    add({fields.uid, position.block, position.offset, fields.departName, fields.roleName,
         quint8((fields.online ? Online : 0) | (fields.decrypts ? Decrypts : 0))});
}

void UserListStore::append(const UserRow& value) {
    add({});
    replace(size() - 1, value);
}

void UserListStore::replace(int row, const UserRow& value) {
    Record& record = m_records[size_t(row)];
    count(record, -1);
    QByteArray utf8[OwnTextCount];
    utf8[UserName] = value.Caption.toUtf8();
    utf8[Ip] = value.SubItems.value(1).toUtf8();
    utf8[ComputerName] = value.SubItems.value(2).toUtf8();
    utf8[CliVer] = value.SubItems.value(5).toUtf8();
    utf8[ScanTime] = value.SubItems.value(6).toUtf8();
    utf8[HardNo] = value.Item.HardNo.toUtf8();
    const QByteArrayView texts[OwnTextCount] = {utf8[0], utf8[1], utf8[2],
                                                utf8[3], utf8[4], utf8[5]};
    const ByteBlocks::Position position = storeTexts(texts);
    if (record.uid != value.Item.Id && m_rowOfUid.value(record.uid) == row)
        m_rowOfUid.remove(record.uid);
    record.uid = value.Item.Id;
    if (!m_rowOfUid.contains(record.uid))
        m_rowOfUid.insert(record.uid, row);
    record.textBlock = position.block;
    record.textOffset = position.offset;
    record.depart = keptOrAdded(record.depart, value.SubItems.value(0));
    record.role = keptOrAdded(record.role, value.SubItems.value(3));
    record.flags = quint8((value.online() ? Online : 0) | (value.decrypts() ? Decrypts : 0));
    count(record, +1);
}

// Rows after the removed ones move up; their index entries are written again from the bottom
// up, so that of two rows of one user the first one stays indexed.
void UserListStore::remove(int first, int last) {
    for (int row = first; row <= last; ++row) {
        const Record& record = m_records[size_t(row)];
        count(record, -1);
        if (m_rowOfUid.value(record.uid) == row)
            m_rowOfUid.remove(record.uid);
    }
    m_records.erase(size_t(first), size_t(last) + 1);
    for (int row = size() - 1; row >= first; --row) {
        const qint32 uid = m_records[size_t(row)].uid;
        const int found = m_rowOfUid.value(uid);
        if (found < 0 || found >= first)
            m_rowOfUid.insert(uid, row);
    }
}

void UserListStore::setOnline(int row, bool online) {
    Record& record = m_records[size_t(row)];
    count(record, -1);
    record.flags = quint8(online ? record.flags | Online : record.flags & ~Online);
    count(record, +1);
}

void UserListStore::clear() {
    m_records.clear();
    m_texts.clear();
    m_names.clear();
    m_departByKey.clear();
    m_roleByKey.clear();
    m_rowOfUid.clear();
    m_online = m_decrypting = 0;
}

UserRow UserListStore::row(int row) const {
    UserRow value;
    value.ImageIndex = online(row) ? UserRow::OnlineImage : UserRow::OfflineImage;
    value.Caption = text(row, 0);
    for (int column = 1; column <= 7; ++column)
        value.SubItems.append(text(row, column));
    const Record& record = m_records[size_t(row)];
    value.Item.Id = record.uid;
    value.Item.HardNo = decoded(ownText(record, HardNo));
    value.Item.IsDepart = false;
    return value;
}

QString UserListStore::text(int row, int column) const {
    const Record& record = m_records[size_t(row)];
    switch (column) {
    case 0:
        return decoded(ownText(record, UserName));
    case 1:
        return name(record.depart);
    case 2:
        return decoded(ownText(record, Ip));
    case 3:
        return decoded(ownText(record, ComputerName));
    case 4:
        return name(record.role);
    case 5:
        return UserRow::decryptMark(record.flags & Decrypts);
    case 6:
        return decoded(ownText(record, CliVer));
    case 7:
        return decoded(ownText(record, ScanTime));
    default:
        return {};
    }
}

quint32 UserListStore::sharedText(int row, int column) const {
    const Record& record = m_records[size_t(row)];
    switch (column) {
    case 1:
        return record.depart;
    case 4:
        return record.role;
    case 5:
        return record.flags & Decrypts ? 1 : 0;
    default:
        return 0; // not a shared column
    }
}

int UserListStore::find(qint32 uid) const {
    return m_rowOfUid.value(uid);
}

size_t UserListStore::bytes() const {
    return m_records.bytes() + m_texts.bytes() + m_names.bytes() + m_rowOfUid.bytes() +
           m_departByKey.bytes() + m_roleByKey.bytes();
}

void UserListStore::add(Record record) {
    m_records.push_back(record);
    if (!m_rowOfUid.contains(record.uid))
        m_rowOfUid.insert(record.uid, size() - 1);
    count(record, +1);
}

ByteBlocks::Position UserListStore::storeTexts(std::span<const QByteArrayView> texts) {
    size_t size = 0;
    for (const QByteArrayView& text : texts)
        size += varintSize(size_t(text.size())) + size_t(text.size());
    const ByteBlocks::Position position = m_texts.reserve(size);
    char* out = m_texts.at(position);
    for (const QByteArrayView& text : texts) {
        out = writeVarint(out, size_t(text.size()));
        if (!text.isEmpty())
            std::memcpy(out, text.data(), size_t(text.size()));
        out += text.size();
    }
    return position;
}

QByteArrayView UserListStore::ownText(const Record& record, OwnText which) const {
    const char* in = m_texts.at({record.textBlock, record.textOffset});
    size_t size = 0;
    for (int skipped = 0; skipped < which; ++skipped) {
        in = readVarint(in, size);
        in += size;
    }
    in = readVarint(in, size);
    return QByteArrayView(in, qsizetype(size));
}

quint32 UserListStore::addName(QByteArrayView utf8) {
    if (utf8.isEmpty())
        return 0;
    if (m_names.empty())
        m_names.push_back({}); // index 0, no name
    m_names.push_back(storeTexts({&utf8, 1}));
    return quint32(m_names.size() - 1);
}

QString UserListStore::name(quint32 index) const {
    if (index == 0)
        return {};
    size_t size = 0;
    const char* in = readVarint(m_texts.at(m_names[index]), size);
    return decoded(QByteArrayView(in, qsizetype(size)));
}

// A changed row keeps its shared name when that is still its name.
quint32 UserListStore::keptOrAdded(quint32 kept, const QString& name) {
    return this->name(kept) == name ? kept : addName(name.toUtf8());
}

void UserListStore::count(const Record& record, int sign) {
    m_online += record.flags & Online ? sign : 0;
    m_decrypting += record.flags & Decrypts ? sign : 0;
}
