#include "UserListExport.h"

#include "UserListModel.h"

#include <QByteArray>
#include <QString>

namespace {

// Spreadsheets run a field that begins with one of these as a formula.
bool looksLikeFormula(const QString& field) {
    if (field.isEmpty())
        return false;
    const QChar first = field.front();
    return first == u'=' || first == u'+' || first == u'@' || first == u'\t' || first == u'\r' ||
           (first == u'-' && field.size() > 1);
}

void appendField(QString& line, QString field) {
    if (looksLikeFormula(field))
        field.prepend(u'\'');
    const bool quote = field.contains(u',') || field.contains(u'"') || field.contains(u'\n') ||
                       field.contains(u'\r') || field != field.trimmed();
    if (quote)
        field = u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"';
    line += field;
}

QByteArray csvLine(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u',';
        appendField(line, fields.at(i));
    }
    line += QStringLiteral("\r\n");
    return line.toUtf8();
}

} // namespace

bool writeUserListCsv(const UserListModel& users, QIODevice& out) {
    QStringList header;
    for (int column = 0; column < users.columnCount(); ++column)
        header << users.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    QByteArray chunk = QByteArrayLiteral("\xEF\xBB\xBF") + csvLine(header);
    for (int index = 0; index < users.rowCount(); ++index) {
        const UserRow row = users.row(index);
        chunk += csvLine(QStringList{row.Caption} + row.SubItems);
        if (chunk.size() > (1 << 16)) {
            if (out.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size();
}
