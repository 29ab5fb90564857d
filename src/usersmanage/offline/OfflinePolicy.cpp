#include "OfflinePolicy.h"

#include "DbQuery.h"
#include "LogonInfo.h"

#include <QSet>
#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int BlockLines = 5; // Exe, Tye, Suf, Exf, Exp
constexpr int TypeLine = 1;
constexpr int SuffixLine = 2;
const QString AllFiles = u"*.*;"_s;

struct Field {
    const char16_t* key;
    const char16_t* column;
};

const Field UserFields[] = {
    {u"uLevel=", u"uLevel"}, {u"uGroups=", u"Groups"}, {u"password=", u"Password"}};

const Field RoleFields[] = {
    {u"aCtrl=", u"aCtrl"},         {u"kCtrl=", u"kCtrl"},       {u"fLevel=", u"Level"},
    {u"fGroup=", u"Group"},        {u"ConTime=", u"ConTime"},   {u"BakPath=", u"BakPath"},
    {u"BakNum=", u"BakNum"},       {u"BakSev=", u"BakSev"},     {u"BakPort=", u"BakPort"},
    {u"AskEnTime=", u"AskEnTime"}, {u"UnlawExe=", u"UnlawExe"}, {u"AuthExe=", u"AuthExe"},
    {u"PLMUrl=", u"PLMUrl"},       {u"EnDirs=", u"EnDirs"},     {u"DeDirs=", u"DeDirs"},
    {u"MailLevel=", u"MailLevel"},
};

const Field FileFields[BlockLines] = {{u"Exe=", u"exes"},
                                      {u"Tye=", u"entype"},
                                      {u"Suf=", u"sufs"},
                                      {u"Exf=", u"exsufs"},
                                      {u"Exp=", u"expaths"}};

// An id read from the database, as a whole number; none for a null or any other text, so stored
// text never reaches a statement.
std::optional<qint32> idOf(const QString& text) {
    bool number = false;
    const qint32 id = text.trimmed().toInt(&number);
    return number ? std::optional(id) : std::nullopt;
}

void appendFields(const DbQuery& query, const Field* begin, const Field* end, QStringList& lines) {
    for (const Field* f = begin; f != end; ++f)
        lines.append(QString::fromUtf16(f->key) + query.asString(QString::fromUtf16(f->column)));
}

qint64 countOf(DbConnection* connection, const QString& statement) {
    DbCommand command(connection, statement);
    return command.scalar().toLongLong();
}

// Value 4: the user takes part in approval flows; value 8: the role has mail policies.
qint32 AdjustAuths(DbConnection* connection, qint32 auths, qint32 uid, qint32 roleId) {
    if (countOf(connection, u"select Count(FID) from FlowChart where Comm<>0"_s) > 0 ||
        countOf(connection,
                u"select Count(uid) from FlowUser where uid="_s + QString::number(uid)) > 0)
        auths += 4;
    if (countOf(connection,
                u"select Count(rid) from PlyMailRole where rid="_s + QString::number(roleId)) > 0)
        auths += 8;
    return auths;
}

QByteArray asciiUpper(const QString& text) {
    return text.toUtf8().toUpper(); // QByteArray::toUpper folds ASCII letters only
}

bool expandsAllFiles(const QStringList& block) {
    return block[TypeLine] == u"Tye=1"_s && block[SuffixLine].contains(AllFiles);
}

// Every distinct specific suffix of the blocks, each followed by ";", in first-seen order and
// letter case.
QString mergedSuffixes(const std::vector<QStringList>& blocks) {
    QString merged = u";"_s;
    QByteArray folded = ";";
    for (const QStringList& block : blocks) {
        for (const QString& item : listItems(block[SuffixLine].mid(4), u';')) {
            if (item == u"*.*"_s || item == u"*"_s)
                continue;
            const QByteArray key = ';' + asciiUpper(item) + ';';
            if (folded.contains(key))
                continue;
            merged += item + u';';
            folded += asciiUpper(item) + ';';
        }
    }
    return merged.mid(1);
}

// A type-1 policy for all files ("*.*;") is given the specific suffixes of all the role's
// policies instead.
void expandAllFiles(std::vector<QStringList>& blocks) {
    if (std::none_of(blocks.begin(), blocks.end(), expandsAllFiles))
        return;
    const QString merged = mergedSuffixes(blocks);
    for (QStringList& block : blocks) {
        if (expandsAllFiles(block))
            block[SuffixLine].replace(AllFiles, merged);
    }
}

std::vector<QStringList> fileBlocks(DbQuery& query, const QString& plyIds) {
    std::vector<QStringList> blocks;
    for (const QString& item : listItems(plyIds.startsWith(u'|') ? plyIds.mid(1) : plyIds, u'|')) {
        const std::optional<qint32> fid = idOf(item);
        if (!fid)
            continue;
        query.setSql(u"Select * from PlyFile where Fid="_s + QString::number(*fid));
        query.open();
        if (query.isEmpty())
            continue;
        QStringList block;
        appendFields(query, std::begin(FileFields), std::end(FileFields), block);
        blocks.push_back(block);
    }
    return blocks;
}

QString screenText(DbQuery& query) {
    query.setSql(u"select ScreenText from other"_s);
    query.open();
    return query.isEmpty() ? QString() : query.asString(u"ScreenText"_s);
}

// The user's own lines; returns the role id, -1 without a user row or without a role.
qint32 appendUser(DbConnection* connection, DbQuery& query, qint32 uid, QStringList& lines) {
    query.setSql(u" select U.*,US.name as DName from users U left join UserSort US on U.Pid = "
                 u"US.id where uid="_s +
                 QString::number(uid));
    query.open();
    if (query.isEmpty())
        return -1;
    const qint32 roleId = idOf(query.asString(u"RoleId"_s)).value_or(-1);
    appendFields(query, std::begin(UserFields), std::end(UserFields), lines);
    const qint32 auths = query.asInteger(u"Auths"_s);
    const QString name = query.asString(u"UserName"_s);
    const QString depart = query.asString(u"DName"_s);
    lines.append(u"Auths="_s + QString::number(AdjustAuths(connection, auths, uid, roleId)));
    lines.append(u"MyName="_s + name);
    lines.append(u"MyDepart="_s + depart);
    return roleId;
}

// The role's lines; returns its policy list, empty without a role row.
QString appendRole(DbQuery& query, qint32 roleId, QStringList& lines) {
    query.setSql(u"select * from UserRole where Rid="_s + QString::number(roleId));
    query.open();
    if (query.isEmpty()) {
        lines << u"aCtrl=0"_s << u"kCtrl=0"_s << u"dLevel=0"_s << u"dGroup=0"_s << u"AskEnTime=0"_s;
        return {};
    }
    const QString plyIds = query.asString(u"PlyIDs"_s);
    appendFields(query, std::begin(RoleFields), std::end(RoleFields), lines);
    return plyIds;
}

// One mail category as a "ply=" line and its id.
struct SortLine {
    qint32 id;
    QString line;
};

QList<SortLine> childSorts(DbQuery& query, qint32 id) {
    query.setSql(u"select * from PlyMailSort where pid="_s + QString::number(id));
    query.open();
    QList<SortLine> children;
    for (; !query.eof(); query.next()) {
        const QString childId = query.asString(u"id"_s);
        if (const std::optional<qint32> number = idOf(childId))
            children.append({*number, u"ply="_s + childId + u'|' + query.asString(u"pid"_s) + u'|' +
                                          query.asString(u"name"_s)});
    }
    return children;
}

void AddRootSort(DbQuery& query, qint32 id, QStringList& lines) {
    query.setSql(u"select * from PlyMailSort where id="_s + QString::number(id));
    query.open();
    if (!query.isEmpty())
        lines.append(u"ply="_s + query.asString(u"id"_s) + u"|0|"_s + query.asString(u"name"_s));
}

// Depth first, each category directly followed by its own subtree; each category once per
// walk, so a cycle ends it. Iterative, so a deep tree cannot overflow the stack.
void AddChildSorts(DbQuery& query, qint32 rootId, QStringList& lines) {
    QSet<qint32> visited{rootId};
    std::vector<std::pair<QList<SortLine>, qsizetype>> pending;
    pending.emplace_back(childSorts(query, rootId), 0);
    while (!pending.empty()) {
        auto& [children, next] = pending.back();
        if (next == children.size()) {
            pending.pop_back();
            continue;
        }
        const SortLine child = children[next++];
        if (visited.contains(child.id))
            continue;
        visited.insert(child.id);
        lines.append(child.line);
        pending.emplace_back(childSorts(query, child.id), 0);
    }
}

// plyLine is a copy: lines grows while it is read.
void AddSortMails(DbQuery& query, const QString plyLine, QStringList& lines) {
    const std::optional<qint32> id = idOf(plyLine.mid(4).section(u'|', 0, 0));
    if (!id)
        return;
    query.setSql(u"select * from PlyMailGroup Inner join PlyMail on PlyMail.id=PlyMailGroup.mid "
                 u"where sid="_s +
                 QString::number(*id));
    query.open();
    for (; !query.eof(); query.next())
        lines.append(u"mil="_s + query.asString(u"sid"_s) + u'|' + query.asString(u"name"_s) +
                     u'|' + query.asString(u"mail"_s));
}

// The categories given to the role (none without one), then the common ones not given already.
QList<qint32> applyingSorts(DbQuery& query, std::optional<qint32> roleId) {
    QList<qint32> sorts;
    if (roleId) {
        query.setSql(u"Select * from PlyMailRole where rid="_s + QString::number(*roleId));
        query.open();
        for (; !query.eof(); query.next()) {
            if (const std::optional<qint32> id = idOf(query.asString(u"sid"_s)))
                sorts.append(*id);
        }
    }
    query.setSql(u"select * from PlyMailSort where Comm <> 0"_s);
    query.open();
    for (; !query.eof(); query.next()) {
        const std::optional<qint32> id = idOf(query.asString(u"id"_s));
        if (id && !sorts.contains(*id))
            sorts.append(*id);
    }
    return sorts;
}

// Drops every category that lies inside the subtree of another one listed.
void removeCovered(DbConnection* connection, QList<qint32>& sorts) {
    for (qsizetype i = sorts.size() - 1; i >= 0; --i) {
        for (qsizetype j = sorts.size() - 1; j >= 0; --j) {
            if (sorts[i] != sorts[j] && IsMySonPly(connection, sorts[i], sorts[j])) {
                sorts.removeAt(i);
                break;
            }
        }
    }
}

} // namespace

QStringList listItems(const QString& text, QChar separator) {
    QStringList items = text.split(separator);
    items.removeAll(QString());
    return items;
}

QString trimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

void GetPly(DbConnection* connection, qint32 uid, QStringList& lines) {
    const TLogonInfo& logon = *LogonInfo;
    lines.append(u"UserID="_s + QString::number(uid));
    lines.append(u"hKey="_s + ((logon.KeyOptions & 4) ? logon.HKey : logon.HKeyAlt));
    lines.append(u"uKey="_s + logon.UKey);
    DbQuery query(connection);
    const qint32 roleId = appendUser(connection, query, uid, lines);
    const QString plyIds = appendRole(query, roleId, lines);
    const QString text = screenText(query);
    std::vector<QStringList> blocks = fileBlocks(query, plyIds);
    expandAllFiles(blocks);
    for (const QStringList& block : blocks)
        lines += block;
    lines.append(u"kScText="_s + text);
}

qint32 getPid(DbConnection* connection, qint32 id) {
    DbCommand command(connection, u"select pid from PlyMailSort where id="_s + QString::number(id));
    return command.scalar().toInt();
}

bool IsMySonPly(DbConnection* connection, qint32 a, qint32 b) {
    QSet<qint32> seen{a};
    for (qint32 parent = getPid(connection, a); parent != 0; parent = getPid(connection, parent)) {
        if (parent == b)
            return true;
        if (seen.contains(parent))
            return false;
        seen.insert(parent);
    }
    return false;
}

void GetMailPly(DbConnection* connection, const QString& uid, QStringList& lines) {
    const std::optional<qint32> user = idOf(uid);
    if (!user)
        return;
    DbQuery query(connection);
    query.setSql(u"select RoleId from users where uid="_s + QString::number(*user));
    query.open();
    if (query.isEmpty())
        return;
    QList<qint32> sorts = applyingSorts(query, idOf(query.asString(u"RoleId"_s)));
    removeCovered(connection, sorts);
    for (const qint32 id : sorts) {
        AddRootSort(query, id, lines);
        AddChildSorts(query, id, lines);
    }
    const qsizetype plyLines = lines.size();
    for (qsizetype i = 0; i < plyLines; ++i)
        AddSortMails(query, lines[i], lines);
}
