// OutMain.exe: stands in for the offline client program. The console copies it to the front of
// every offline package and appends the enciphered policy files, their names and a trailer of
// little-endian 32-bit integers: the program's size, the marker's size, the file sizes, the
// name lengths and the trailer's own count. Run from a package (or given one) with --show, it
// finds its files through that trailer, deciphers them and checks the authorization.

#include "NarrowText.h"
#include "StringCipher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QtEndian>

#include <cstdio>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

enum Exit { Ok = 0, Usage = 1, Damaged = 2, WrongComputer = 3, Expired = 4 };

const QByteArray PolicyKey = QByteArrayLiteral("qv");
const QByteArray Marker = QByteArrayLiteral("Client");

struct Damage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PackedFile {
    QString name;
    QByteArray content;
};

QByteArray readAt(QFile& file, qint64 offset, qint64 size) {
    if (!file.seek(offset))
        throw Damage("cannot seek");
    QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        throw Damage("the package is shorter than its trailer says");
    return bytes;
}

QList<qint64> trailerOf(QFile& file) {
    const qint64 size = file.size();
    if (size < 4)
        throw Damage("no trailer");
    const qint64 count = qFromLittleEndian<quint32>(readAt(file, size - 4, 4).constData());
    if (count < 5 || count % 2 == 0 || 4 * count > size)
        throw Damage("the trailer's count is not 2k+3 or exceeds the file");
    const QByteArray bytes = readAt(file, size - 4 * count, 4 * count);
    QList<qint64> values;
    for (qint64 i = 0; i < count; ++i)
        values.append(qFromLittleEndian<quint32>(bytes.constData() + 4 * i));
    return values;
}

// The packed files, after checking that the trailer's sizes add up to the file.
QList<PackedFile> unpack(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Damage("cannot open " + path.toStdString());
    const QList<qint64> trailer = trailerOf(file);
    const qint64 files = (trailer.size() - 3) / 2;
    qint64 total = 4 * trailer.size();
    for (qint64 i = 0; i < trailer.size() - 1; ++i)
        total += trailer[i];
    if (total != file.size())
        throw Damage("the trailer's sizes do not add up to the file's size");
    qint64 offset = trailer[0];
    if (readAt(file, offset, trailer[1]) != Marker)
        throw Damage("no \"Client\" marker after the program");
    offset += trailer[1];
    QList<PackedFile> packed;
    for (qint64 i = 0; i < files; ++i) {
        packed.append({{}, readAt(file, offset, trailer[2 + i])});
        offset += trailer[2 + i];
    }
    for (qint64 i = 0; i < files; ++i) {
        packed[i].name = QString::fromLatin1(readAt(file, offset, trailer[2 + files + i]));
        offset += trailer[2 + files + i];
    }
    return packed;
}

QStringList decipher(const QByteArray& content, const QByteArray& codePage) {
    const QString text = fromNarrow(En(content.trimmed(), PolicyKey, false), codePage);
    return text.isEmpty() ? QStringList() : text.split(u"\r\n"_s);
}

QString valueOf(const QStringList& lines, const QString& key) {
    for (const QString& line : lines) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return {};
}

QDate parseDate(const QString& text) {
    const QStringList parts = text.split(u'-');
    return parts.size() == 3 ? QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt())
                             : QDate();
}

void print(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
}

int show(const QCommandLineParser& options) {
    const QString path = options.isSet(u"package"_s) ? options.value(u"package"_s)
                                                     : QCoreApplication::applicationFilePath();
    const QByteArray codePage = options.value(u"code-page"_s).toLatin1();
    QList<PackedFile> files;
    try {
        files = unpack(path);
    } catch (const Damage& e) {
        std::fprintf(stderr, "OutMain: %s: %s\n", path.toLocal8Bit().constData(), e.what());
        return Damaged;
    }
    QStringList policy;
    for (const PackedFile& file : files) {
        const QStringList lines = decipher(file.content, codePage);
        if (file.name == u"Exply.dat"_s)
            policy = lines;
        print(u"["_s + file.name + u"]"_s);
        for (const QString& line : lines)
            print(line);
    }
    const QString hardNo = valueOf(policy, u"OutHardNo"_s);
    if (options.isSet(u"hardno"_s) && options.value(u"hardno"_s) != hardNo) {
        std::fprintf(stderr, "OutMain: authorized for computer \"%s\", not this one\n",
                     hardNo.toLocal8Bit().constData());
        return WrongComputer;
    }
    const QDate today = options.isSet(u"today"_s)
                            ? QDate::fromString(options.value(u"today"_s), Qt::ISODate)
                            : QDate::currentDate();
    const QDate expiry = parseDate(valueOf(policy, u"OutTime"_s));
    if (!expiry.isValid() || today > expiry) {
        std::fprintf(stderr, "OutMain: the authorization has expired or has no valid date\n");
        return Expired;
    }
    print(u"authorized until "_s + expiry.toString(Qt::ISODate));
    return Ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Offline client stand-in: reads the package it heads (or --package FILE)."_s);
    parser.addHelpOption();
    parser.addOptions({
        {u"show"_s, u"Print the authorization and the policy lines, check them."_s},
        {u"package"_s, u"Read FILE instead of this program's own file."_s, u"FILE"_s},
        {u"hardno"_s, u"This computer's hardware number; must match the package's."_s, u"HW"_s},
        {u"today"_s, u"The date to check the expiry against (YYYY-MM-DD)."_s, u"DATE"_s},
        {u"code-page"_s, u"Narrow code page of the texts."_s, u"NAME"_s, u"GBK"_s},
    });
    parser.process(app);
    if (!parser.isSet(u"show"_s)) {
        parser.showHelp(Usage);
    }
    return show(parser);
}
