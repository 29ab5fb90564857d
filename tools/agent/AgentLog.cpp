#include "AgentLog.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

template <typename T> QJsonValue orNull(const std::optional<T>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

bool AgentLog::open(const QString& path, QString& error) {
    if (path.isEmpty())
        return true;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = u"cannot write the log "_s + path + u": "_s + m_file.errorString();
        return false;
    }
    return true;
}

void AgentLog::write(const AgentLogEntry& entry) {
    if (!m_file.isOpen())
        return;
    const QJsonObject object{
        {u"time"_s, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {u"agent"_s, entry.agent},
        {u"kind"_s, entry.kind},
        {u"command"_s, orNull(entry.command)},
        {u"lines"_s, QJsonArray::fromStringList(entry.lines)},
        {u"answer"_s, orNull(entry.answer)},
        {u"status"_s, orNull(entry.status)},
    };
    m_file.write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}
