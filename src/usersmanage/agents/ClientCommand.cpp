#include "ClientCommand.h"

#include "LogonInfo.h"
#include "NarrowText.h"
#include "StringCipher.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray CommandKey = QByteArrayLiteral("qmtrb");

} // namespace

QString ClientCommandUrl(const QString& address, qint32 port, const QString& query) {
    const QByteArray cipher = En(toNarrow(query, LogonInfo->CodePage), CommandKey, true);
    return u"http://"_s + address + u':' + QString::number(port) + u'/' +
           QString::fromLatin1(cipher);
}
