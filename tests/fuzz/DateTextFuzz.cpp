// The offline client's date texts: any text is either refused or read as a real date whose
// numbers, written back without leading zeros, read as the same date.

#include "FuzzCheck.h"
#include "PackageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString text = textOf(data, size);
    const QDate date = parseDateText(text);
    if (!date.isValid())
        return 0;
    require(text.size() <= 10, "a date text is at most ten characters");
    const QString written = QStringLiteral("%1-%2-%3")
                                .arg(date.year(), 4, 10, QLatin1Char('0'))
                                .arg(date.month())
                                .arg(date.day());
    require(parseDateText(written) == date, "a date read back from its text is the same date");
    return 0;
}
