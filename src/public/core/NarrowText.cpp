#include "NarrowText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <qt_windows.h>

namespace {

// Qt without ICU converts only the Unicode forms and Latin-1; Windows converts its own code
// pages. The names the console and the agents use map to their numbers.
UINT windowsCodePage(const QByteArray& name) {
    const QByteArray lower = name.toLower();
    if (lower == "gbk" || lower == "gb2312" || lower == "cp936")
        return 936;
    if (lower == "big5")
        return 950;
    if (lower == "shift_jis")
        return 932;
    if (lower == "euc-kr")
        return 949;
    bool ok = false;
    const UINT number = lower.startsWith("windows-") ? lower.mid(8).toUInt(&ok)
                        : lower.startsWith("cp")     ? lower.mid(2).toUInt(&ok)
                                                     : 0;
    return ok && IsValidCodePage(number) ? number : 0;
}

} // namespace
#endif

bool isKnownCodePage(const QByteArray& name) {
#ifdef Q_OS_WIN
    if (windowsCodePage(name) != 0)
        return true;
#endif
    return QStringEncoder(name.constData()).isValid();
}

QByteArray toNarrow(const QString& text, const QByteArray& codePage) {
#ifdef Q_OS_WIN
    if (const UINT page = windowsCodePage(codePage); page != 0 && !text.isEmpty()) {
        const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
        const int size =
            WideCharToMultiByte(page, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
        QByteArray bytes(size, '\0');
        WideCharToMultiByte(page, 0, wide, int(text.size()), bytes.data(), size, nullptr, nullptr);
        return bytes;
    }
#endif
    QStringEncoder encoder(codePage.constData());
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

QString fromNarrow(const QByteArray& bytes, const QByteArray& codePage) {
#ifdef Q_OS_WIN
    if (const UINT page = windowsCodePage(codePage); page != 0 && !bytes.isEmpty()) {
        const int size =
            MultiByteToWideChar(page, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
        QString text(size, Qt::Uninitialized);
        MultiByteToWideChar(page, 0, bytes.constData(), int(bytes.size()),
                            reinterpret_cast<wchar_t*>(text.data()), size);
        return text;
    }
#endif
    QStringDecoder decoder(codePage.constData());
    if (!decoder.isValid())
        return QString::fromUtf8(bytes);
    return decoder.decode(bytes);
}
