#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

// Named statement parameters: the name without its leading ':' and the value to bind.
using StatementParams = QList<std::pair<QString, QVariant>>;

// The records of an opened select, read by position. Values come out as the driver's types:
// integers as qlonglong, reals as double, text as QString, blobs as QByteArray, NULL as a null
// QVariant. Rows and columns passed in are within range.
class ResultSet {
public:
    virtual ~ResultSet() = default;
    virtual int rows() const = 0;
    virtual QStringList names() const = 0; // one per column, in result order
    virtual QVariant value(int row, int column) const = 0;
};
