#pragma once

// The files an offline package carries behind its program. The package ends with a trailer of
// little-endian 32-bit integers: the program's size, the marker's size, the file sizes, the
// name lengths and the trailer's own count.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <stdexcept>

class QIODevice;

// A package whose trailer, marker or sizes do not hold together.
struct PackageDamage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PackedFile {
    QString name;
    QByteArray content;
};

// The "Client" marker between the program and the files.
inline const QByteArray PackageMarker = QByteArrayLiteral("Client");

// The packed files of an open, seekable package, after checking that the trailer's sizes add
// up to the package's size. Throws PackageDamage.
QList<PackedFile> unpackPackage(QIODevice& package);

// A date of the authorization lines: four digits of year, "-", the month, "-", the day, with or
// without leading zeros. Anything else, or a day the calendar does not have, gives an invalid
// date.
QDate parseDateText(const QString& text);
