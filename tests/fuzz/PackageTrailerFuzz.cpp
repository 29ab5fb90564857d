// The offline package reader: any file is either refused as damaged or read as files whose
// program, marker, contents, names and trailer make up the file exactly; a package put
// together from fuzzer-chosen files reads back as those files.

#include "FuzzCheck.h"
#include "PackageReader.h"

#include <QBuffer>
#include <QtEndian>
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>

namespace {

std::optional<QList<PackedFile>> read(const QByteArray& package) {
    QBuffer device;
    device.setData(package);
    device.open(QIODevice::ReadOnly);
    try {
        return unpackPackage(device);
    } catch (const PackageDamage&) {
        return std::nullopt;
    }
}

void appendNumber(QByteArray& bytes, qsizetype value) {
    char le[4];
    qToLittleEndian(quint32(value), le);
    bytes.append(le, 4);
}

// The package after its program: marker, contents, names, trailer.
QByteArray packageTail(qsizetype programSize, const QList<PackedFile>& files) {
    QByteArray tail = PackageMarker;
    for (const PackedFile& file : files)
        tail += file.content;
    for (const PackedFile& file : files)
        tail += file.name.toLatin1();
    appendNumber(tail, programSize);
    appendNumber(tail, PackageMarker.size());
    for (const PackedFile& file : files)
        appendNumber(tail, file.content.size());
    for (const PackedFile& file : files)
        appendNumber(tail, file.name.size());
    appendNumber(tail, 2 * files.size() + 3);
    return tail;
}

void checkArbitrary(const QByteArray& package) {
    const std::optional<QList<PackedFile>> files = read(package);
    if (!files)
        return;
    require(!files->isEmpty(), "a package carries files");
    const qsizetype programSize = qFromLittleEndian<quint32>(package.constData() + package.size() -
                                                             4 * (2 * files->size() + 3));
    require(package.sliced(programSize) == packageTail(programSize, *files),
            "the files read make up the package");
}

void checkBuilt(FuzzedDataProvider& input) {
    const QByteArray program = QByteArray::fromStdString(input.ConsumeRandomLengthString(64));
    QList<PackedFile> files(input.ConsumeIntegralInRange(1, 4));
    for (PackedFile& file : files) {
        file.name = QString::fromLatin1(input.ConsumeRandomLengthString(16));
        file.content = QByteArray::fromStdString(input.ConsumeRandomLengthString(256));
    }
    const std::optional<QList<PackedFile>> unpacked =
        read(program + packageTail(program.size(), files));
    require(unpacked.has_value() && unpacked->size() == files.size(), "a built package reads back");
    for (qsizetype i = 0; i < files.size(); ++i)
        require((*unpacked)[i].name == files[i].name && (*unpacked)[i].content == files[i].content,
                "every file reads back as packed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    checkArbitrary(bytesOf(data, size));
    FuzzedDataProvider input(data, size);
    checkBuilt(input);
    return 0;
}
