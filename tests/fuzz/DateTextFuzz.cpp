// The offline client's date texts: any text is either refused or read as a real date that its
// numbers, written back without leading zeros, give again.

#include "FuzzCheck.h"
#include "PackageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QDate date = parseDateText(textOf(data, size));
    if (date.isValid())
        require(parseDateText(QStringLiteral("%1-%2-%3")
                                  .arg(date.year(), 4, 10, QLatin1Char('0'))
                                  .arg(date.month())
                                  .arg(date.day())) == date,
                "a date read back from its text is the same date");
    return 0;
}
