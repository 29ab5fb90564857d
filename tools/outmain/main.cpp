// OutMain.exe: stands in for the offline client program. The console copies it to the front of
// every offline package and appends the enciphered policy files, their names and a trailer of
// little-endian 32-bit integers: the program's size, the marker's size, the file sizes, the
// name lengths and the trailer's own count. Run from a package (or given one) with --show, it
// finds its files through that trailer, deciphers them and checks the authorization.

#include "NarrowText.h"
#include "PackageReader.h"
#include "StringCipher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

enum Exit { Ok = 0, Usage = 1, Damaged = 2, WrongComputer = 3, Expired = 4 };

const QByteArray PolicyKey = QByteArrayLiteral("qv");

QList<PackedFile> unpack(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PackageDamage("cannot open " + path.toStdString());
    return unpackPackage(file);
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

void print(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
}

int show(const QCommandLineParser& options) {
    const QString path = options.isSet(u"package"_s) ? options.value(u"package"_s)
                                                     : QCoreApplication::applicationFilePath();
    const QByteArray codePage = options.value(u"code-page"_s).toLatin1();
    const QDate today =
        options.isSet(u"today"_s) ? parseDateText(options.value(u"today"_s)) : QDate::currentDate();
    if (!today.isValid()) { // a date that cannot be checked authorizes nothing
        std::fprintf(stderr, "OutMain: --today takes a date YYYY-MM-DD\n");
        return Usage;
    }
    QList<PackedFile> files;
    try {
        files = unpack(path);
    } catch (const PackageDamage& e) {
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
    const QDate expiry = parseDateText(valueOf(policy, u"OutTime"_s));
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
