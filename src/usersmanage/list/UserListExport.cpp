#include "UserListExport.h"

#include "UserListModel.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>
#include <functional>

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

// The model's column captions, then a line of fields per row, written in chunks.
bool writeCsv(const QAbstractItemModel& model, int rows, QIODevice& out,
              const std::function<QStringList(int)>& fieldsOf) {
    QStringList header;
    for (int column = 0; column < model.columnCount(); ++column)
        header << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    QByteArray chunk = QByteArrayLiteral("\xEF\xBB\xBF") + csvLine(header);
    for (int row = 0; row < rows; ++row) {
        chunk += csvLine(fieldsOf(row));
        if (chunk.size() > (1 << 16)) {
            if (out.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size();
}

} // namespace

bool writeModelCsv(const QAbstractItemModel& model, QIODevice& out) {
    return writeCsv(model, model.rowCount(), out, [&model](int row) {
        QStringList fields;
        for (int column = 0; column < model.columnCount(); ++column)
            fields << model.index(row, column).data(Qt::DisplayRole).toString();
        return fields;
    });
}

bool writeUserListCsv(const UserListModel& users, QIODevice& out) {
    return writeCsv(users, users.rowCount(), out, [&users](int index) {
        const UserRow row = users.row(index);
        return QStringList{row.Caption} + row.SubItems;
    });
}
