#include "PackageReader.h"

#include <QIODevice>
#include <QRegularExpression>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAt(QIODevice& package, qint64 offset, qint64 size) {
    if (!package.seek(offset))
        throw PackageDamage("cannot seek");
    QByteArray bytes = package.read(size);
    if (bytes.size() != size)
        throw PackageDamage("the package is shorter than its trailer says");
    return bytes;
}

QList<qint64> trailerOf(QIODevice& package) {
    const qint64 size = package.size();
    if (size < 4)
        throw PackageDamage("no trailer");
    const qint64 count = qFromLittleEndian<quint32>(readAt(package, size - 4, 4).constData());
    if (count < 5 || count % 2 == 0 || 4 * count > size)
        throw PackageDamage("the trailer's count is not 2k+3 or exceeds the file");
    const QByteArray bytes = readAt(package, size - 4 * count, 4 * count);
    QList<qint64> values;
    for (qint64 i = 0; i < count; ++i)
        values.append(qFromLittleEndian<quint32>(bytes.constData() + 4 * i));
    return values;
}

} // namespace

QList<PackedFile> unpackPackage(QIODevice& package) {
    const QList<qint64> trailer = trailerOf(package);
    const qint64 files = (trailer.size() - 3) / 2;
    qint64 total = 4 * trailer.size();
    for (qint64 i = 0; i < trailer.size() - 1; ++i)
        total += trailer[i];
    if (total != package.size())
        throw PackageDamage("the trailer's sizes do not add up to the file's size");
    qint64 offset = trailer[0];
    if (readAt(package, offset, trailer[1]) != PackageMarker)
        throw PackageDamage("no \"Client\" marker after the program");
    offset += trailer[1];
    QList<PackedFile> packed;
    for (qint64 i = 0; i < files; ++i) {
        packed.append({{}, readAt(package, offset, trailer[2 + i])});
        offset += trailer[2 + i];
    }
    for (qint64 i = 0; i < files; ++i) {
        packed[i].name = QString::fromLatin1(readAt(package, offset, trailer[2 + files + i]));
        offset += trailer[2 + files + i];
    }
    return packed;
}

QDate parseDateText(const QString& text) {
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(uR"(([0-9]{4})-([0-9]{1,2})-([0-9]{1,2}))"_s));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}
