#include "BulkResultsModel.h"

#include "BulkCommand.h"

BulkResultsModel::BulkResultsModel(const BulkCommand& command, QObject* parent)
    : QAbstractTableModel(parent), m_command(command), m_rows(int(command.targets().size())) {}

int BulkResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int BulkResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString BulkResultsModel::outcomeText(int row) const {
    const BulkResult& result = m_command.results().at(row);
    switch (result.outcome) {
    case BulkOutcome::Pending:
        return tr("等待中");
    case BulkOutcome::Confirmed:
        return tr("已确认");
    case BulkOutcome::Refused:
        // The agent's own bytes, shown as text that cannot break the view.
        return tr("拒绝：") + QString::fromLatin1(result.reply).simplified();
    case BulkOutcome::NoAnswer:
        return tr("无应答");
    case BulkOutcome::TimedOut:
        return tr("超时");
    case BulkOutcome::NoAddress:
        return tr("无地址");
    case BulkOutcome::Cancelled:
        return tr("已取消");
    }
    return {};
}

QVariant BulkResultsModel::data(const QModelIndex& index, int role) const {
    if (index.isValid() && index.column() == Time && role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter); // milliseconds line up by digit
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::UserRole))
        return {};
    const BulkTarget& target = m_command.targets().at(index.row());
    const BulkResult& result = m_command.results().at(index.row());
    switch (index.column()) {
    case Name:
        return target.name;
    case Department:
        return target.department;
    case Address:
        return target.address;
    case Outcome:
        return role == Qt::UserRole ? QVariant(int(result.outcome)) : outcomeText(index.row());
    case Time:
        if (role == Qt::UserRole)
            return result.elapsedMs;
        return result.outcome == BulkOutcome::Pending ? QString()
                                                      : QString::number(result.elapsedMs);
    default:
        return {};
    }
}

QVariant BulkResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return tr("用户名");
    case Department:
        return tr("部门");
    case Address:
        return tr("地址");
    case Outcome:
        return tr("结果");
    case Time:
        return tr("用时(毫秒)");
    default:
        return {};
    }
}

void BulkResultsModel::addRows(int first, int last) {
    beginInsertRows({}, first, last);
    m_rows = last + 1;
    endInsertRows();
}

void BulkResultsModel::rowsChanged(int first, int last) {
    emit dataChanged(index(first, Outcome), index(last, Time));
}

void BulkResultsModel::retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (m_rows > 0)
        emit dataChanged(index(0, Outcome), index(m_rows - 1, Outcome));
}
