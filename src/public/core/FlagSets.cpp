#include "FlagSets.h"

namespace {

quint32 bitOf(qint32 ordinal) {
    return quint32(1) << ordinal;
}

bool testBit(qint32 mask, qint32 ordinal) {
    const quint32 bit = bitOf(ordinal);
    return (quint32(mask) & bit) == bit;
}

// Unsigned addition wraps instead of overflowing a signed mask.
void addBit(qint32& mask, qint32 ordinal) {
    mask = qint32(quint32(mask) + bitOf(ordinal));
}

} // namespace

bool BT(qint32 mask, TUserAuths flag) {
    return testBit(mask, flag);
}
bool BT(qint32 mask, SCtrlType flag) {
    return testBit(mask, flag);
}
bool BT(qint32 mask, ACtrlType flag) {
    return testBit(mask, flag);
}
bool BT(qint32 mask, KCtrlType flag) {
    return testBit(mask, flag);
}
bool BT(qint32 mask, TAdminAuth flag) {
    return testBit(mask, flag);
}

void AT(qint32& mask, TUserAuths flag) {
    addBit(mask, flag);
}
void AT(qint32& mask, SCtrlType flag) {
    addBit(mask, flag);
}
void AT(qint32& mask, ACtrlType flag) {
    addBit(mask, flag);
}
void AT(qint32& mask, KCtrlType flag) {
    addBit(mask, flag);
}
void AT(qint32& mask, TAdminAuth flag) {
    addBit(mask, flag);
}

QString InvalidCharOf(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        const QChar::Category category = QChar::category(code);
        if (QChar::isSurrogate(code) || category == QChar::Other_Control ||
            category == QChar::Other_Format)
            return QStringLiteral("U+%1").arg(quint32(code), 4, 16, QChar(u'0')).toUpper();
    }
    return {};
}

bool StrCheckValid(const QString& text) {
    static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
    for (const QChar c : text) {
        if (forbidden.contains(c))
            return false;
    }
    return true;
}
