#include "OperationLog.h"

#include "DbError.h"
#include "DbQuery.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Blanks and control characters, as the console trims texts.
bool isBlankOrControl(QChar c) {
    return c.unicode() <= u' ';
}

bool isBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), isBlankOrControl);
}

bool anyBlank(std::initializer_list<const QString*> fields) {
    return std::any_of(fields.begin(), fields.end(), [](const QString* f) { return isBlank(*f); });
}

} // namespace

void WriteLogFile(const QString& when, const QString& who, const QString& where, const QString& how,
                  const QString& what, const QString& result) {
    if (anyBlank({&when, &who, &where, &how, &what, &result}))
        return;
    if (LogonInfo == nullptr || LogonInfo->Connection == nullptr)
        return;
    try {
        DbCommand command(
            LogonInfo->Connection,
            QStringLiteral("Insert into LogAct (Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult) "
                           "values (:t1,:t2,:t3,:t4,:t5,:t6)"));
        command.setParam(QStringLiteral("t1"), when);
        command.setParam(QStringLiteral("t2"), who);
        command.setParam(QStringLiteral("t3"), where);
        command.setParam(QStringLiteral("t4"), how);
        command.setParam(QStringLiteral("t5"), what);
        command.setParam(QStringLiteral("t6"), result);
        command.execute();
    } catch (const DbError&) {
        // The log is best effort; the caller's action has already happened.
    }
}
