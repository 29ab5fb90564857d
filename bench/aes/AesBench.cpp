// AES-128 ECB and CBC speed of our table code and AES-NI code, through the stream functions
// and through the block function, beside OpenSSL's EVP on its AES-NI code and on its scalar
// table code (OPENSSL_ia32cap masking AES-NI and SSSE3, set in a child process).
// Also the speed of the En string cipher.

#include "AesDevice.h"
#include "StringCipher.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr qsizetype DataSize = 64 * 1024 * 1024;
constexpr int Repetitions = 5;
const char* const OpenSslOnlyFlag = "--openssl-only";
const QByteArray ScalarMask = QByteArrayLiteral("~0x200020000000000");

enum class Mode { EcbEncrypt, EcbDecrypt, CbcEncrypt, CbcDecrypt };
constexpr Mode AllModes[] = {Mode::EcbEncrypt, Mode::EcbDecrypt, Mode::CbcEncrypt,
                             Mode::CbcDecrypt};

const char* modeName(Mode mode) {
    switch (mode) {
    case Mode::EcbEncrypt:
        return "ECB encrypt";
    case Mode::EcbDecrypt:
        return "ECB decrypt";
    case Mode::CbcEncrypt:
        return "CBC encrypt";
    case Mode::CbcDecrypt:
        return "CBC decrypt";
    }
    return "";
}

bool isDecrypt(Mode mode) {
    return mode == Mode::EcbDecrypt || mode == Mode::CbcDecrypt;
}
bool isCbc(Mode mode) {
    return mode == Mode::CbcEncrypt || mode == Mode::CbcDecrypt;
}

QByteArray randomData(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(2024);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

// CPU time of the calling thread, so that other processes on a busy machine do not count.
qint64 threadCpuNanoseconds() {
#if defined(Q_OS_UNIX)
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64{now.tv_sec} * 1000000000 + now.tv_nsec;
#else
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    return clock.nsecsElapsed();
#endif
}

// Best of a few runs, in MB/s (10^6 bytes per second).
double megabytesPerSecond(qsizetype bytes, const std::function<void()>& run) {
    qint64 best = std::numeric_limits<qint64>::max();
    for (int i = 0; i < Repetitions; ++i) {
        const qint64 start = threadCpuNanoseconds();
        run();
        best = std::min(best, threadCpuNanoseconds() - start);
    }
    return static_cast<double>(bytes) * 1000.0 / static_cast<double>(best);
}

const TAESKey128 BenchKey = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                             0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
const TAESBuffer BenchVector = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// --- OpenSSL ------------------------------------------------------------------------------

double openSslSpeed(Mode mode, const QByteArray& input, QByteArray& output) {
    const EVP_CIPHER* cipher = isCbc(mode) ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
        EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    return megabytesPerSecond(input.size(), [&] {
        EVP_CipherInit_ex(context.get(), cipher, nullptr, BenchKey.data(), BenchVector.data(),
                          isDecrypt(mode) ? 0 : 1);
        EVP_CIPHER_CTX_set_padding(context.get(), 0);
        int written = 0;
        EVP_CipherUpdate(context.get(), reinterpret_cast<unsigned char*>(output.data()), &written,
                         reinterpret_cast<const unsigned char*>(input.constData()),
                         static_cast<int>(input.size()));
    });
}

int runOpenSslOnly() {
    const QByteArray input = randomData(DataSize);
    QByteArray output(DataSize + 16, '\0');
    for (const Mode mode : AllModes) {
        std::printf("%d %.1f\n", static_cast<int>(mode), openSslSpeed(mode, input, output));
    }
    return 0;
}

// Runs this program with --openssl-only in a child process and reads its figures.
QMap<Mode, double> openSslSpeedsInChild(const QString& program, bool scalarOnly) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("OPENSSL_ia32cap"));
    if (scalarOnly) {
        environment.insert(QStringLiteral("OPENSSL_ia32cap"), QString::fromLatin1(ScalarMask));
    }
    child.setProcessEnvironment(environment);
    child.start(program, {QString::fromLatin1(OpenSslOnlyFlag)});
    child.waitForFinished(-1);
    QMap<Mode, double> speeds;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2) {
            speeds.insert(static_cast<Mode>(fields[0].toInt()), fields[1].toDouble());
        }
    }
    return speeds;
}

// --- Ours ---------------------------------------------------------------------------------

double streamSpeed(Mode mode, const QByteArray& input, QByteArray& output) {
    TAESExpandedKey128 key;
    if (isDecrypt(mode)) {
        ExpandAESKeyForDecryption(BenchKey, key);
    } else {
        ExpandAESKeyForEncryption(BenchKey, key);
    }
    QBuffer source;
    source.setData(input);
    source.open(QIODevice::ReadOnly);
    QBuffer dest(&output);
    dest.open(QIODevice::ReadWrite);
    return megabytesPerSecond(input.size(), [&] {
        source.seek(0);
        dest.seek(0);
        switch (mode) {
        case Mode::EcbEncrypt:
            EncryptAESStreamECB(source, 0, key, dest);
            break;
        case Mode::EcbDecrypt:
            DecryptAESStreamECB(source, 0, key, dest);
            break;
        case Mode::CbcEncrypt:
            EncryptAESStreamCBC(source, 0, key, BenchVector, dest);
            break;
        case Mode::CbcDecrypt:
            DecryptAESStreamCBC(source, 0, key, BenchVector, dest);
            break;
        }
    });
}

void xorInto(TAESBuffer& target, const TAESBuffer& other) {
    for (std::size_t i = 0; i < target.size(); ++i) {
        target[i] ^= other[i];
    }
}

// The block function called once per block, chaining done by the caller in CBC.
void runBlocks(Mode mode, const TAESExpandedKey128& key, const char* in, char* out,
               qsizetype size) {
    TAESBuffer chain = BenchVector;
    TAESBuffer block;
    TAESBuffer result;
    for (qsizetype offset = 0; offset < size; offset += 16) {
        std::memcpy(block.data(), in + offset, 16);
        switch (mode) {
        case Mode::EcbEncrypt:
            EncryptAES(block, key, result);
            break;
        case Mode::EcbDecrypt:
            DecryptAES(block, key, result);
            break;
        case Mode::CbcEncrypt:
            xorInto(block, chain);
            EncryptAES(block, key, result);
            chain = result;
            break;
        case Mode::CbcDecrypt:
            DecryptAES(block, key, result);
            xorInto(result, chain);
            chain = block;
            break;
        }
        std::memcpy(out + offset, result.data(), 16);
    }
}

double blockSpeed(Mode mode, const QByteArray& input, QByteArray& output) {
    TAESExpandedKey128 key;
    if (isDecrypt(mode)) {
        ExpandAESKeyForDecryption(BenchKey, key);
    } else {
        ExpandAESKeyForEncryption(BenchKey, key);
    }
    return megabytesPerSecond(input.size(), [&] {
        runBlocks(mode, key, input.constData(), output.data(), input.size());
    });
}

struct OurSpeeds {
    double stream;
    double block;
};

QMap<Mode, OurSpeeds> ourSpeeds(TAESImplementation implementation, const QByteArray& input,
                                QByteArray& output) {
    SetAESImplementation(implementation);
    QMap<Mode, OurSpeeds> speeds;
    for (const Mode mode : AllModes) {
        speeds.insert(mode, {streamSpeed(mode, input, output), blockSpeed(mode, input, output)});
    }
    SetAESImplementation(TAESImplementation::Automatic);
    return speeds;
}

void printComparison(const char* title, const QMap<Mode, OurSpeeds>& ours,
                     const QMap<Mode, double>& openSsl) {
    std::printf("\n%s\n", title);
    std::printf("  %-12s %12s %8s %12s %8s %12s\n", "mode", "stream MB/s", "ratio", "block MB/s",
                "ratio", "OpenSSL MB/s");
    for (const Mode mode : AllModes) {
        const double reference = openSsl.value(mode, 0.0);
        const OurSpeeds speed = ours.value(mode);
        const auto ratio = [reference](double value) {
            return reference > 0 ? value / reference : 0.0;
        };
        std::printf("  %-12s %12.1f %7.2fx %12.1f %7.2fx %12.1f\n", modeName(mode), speed.stream,
                    ratio(speed.stream), speed.block, ratio(speed.block), reference);
    }
}

void printEnSpeed() {
    constexpr qsizetype EnSize = 16 * 1024 * 1024;
    QByteArray plain = randomData(EnSize);
    std::replace(plain.begin(), plain.end(), '\0', '\x01');
    const QByteArray key = QByteArrayLiteral("command key");
    QByteArray cipher;
    const double encipher = megabytesPerSecond(EnSize, [&] { cipher = En(plain, key, true); });
    QByteArray deciphered;
    const double decipher =
        megabytesPerSecond(EnSize, [&] { deciphered = En(cipher, key, false); });
    if (deciphered != plain) {
        std::printf("En round trip failed\n");
    }
    std::printf("\nEn (MB/s of plain text): encipher %.1f, decipher %.1f\n", encipher, decipher);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], OpenSslOnlyFlag) == 0) {
        return runOpenSslOnly();
    }
    const QString program = QCoreApplication::applicationFilePath();
    std::printf("AES-128, %lld MiB per run, best of %d; ratios against OpenSSL EVP.\n",
                static_cast<long long>(DataSize / (1024 * 1024)), Repetitions);
    std::printf("AES instructions available: %s\n", AESHardwareSupported() ? "yes" : "no");

    const QByteArray input = randomData(DataSize);
    QByteArray output(DataSize, '\0');

    const QMap<Mode, double> openSslScalar = openSslSpeedsInChild(program, true);
    printComparison("Table code vs OpenSSL scalar (OPENSSL_ia32cap=~0x200020000000000)",
                    ourSpeeds(TAESImplementation::Table, input, output), openSslScalar);
    if (AESHardwareSupported()) {
        const QMap<Mode, double> openSslHardware = openSslSpeedsInChild(program, false);
        printComparison("AES-NI code vs OpenSSL as it comes",
                        ourSpeeds(TAESImplementation::Hardware, input, output), openSslHardware);
    }
    printEnSpeed();
    return 0;
}
