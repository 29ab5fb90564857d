#pragma once

#include "ModuleExport.h"

#include <QAbstractTableModel>

class BulkCommand;

// The outcome of a command to many agents, one row per addressed user: name, department,
// address, outcome and time taken. Qt::UserRole gives each cell's sort key. Rows appear as
// the command's targets are added.
class KVZ_MODULE_EXPORT BulkResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Department, Address, Outcome, Time, ColumnCount };

    explicit BulkResultsModel(const BulkCommand& command, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void addRows(int first, int last);
    void rowsChanged(int first, int last);
    void retranslate(); // headers and outcomes in the language in force
    // The outcome of a row as shown.
    QString outcomeText(int row) const;

private:
    const BulkCommand& m_command;
    int m_rows;
};
