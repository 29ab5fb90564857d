#pragma once

#include "DialogsFixture.h"
#include "OfflinePackage.h"

#include <QStringList>

// The organisation with a logon context in force, for the offline authorization's texts,
// package and dialog.
class OfflineTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        logon.UKey = QStringLiteral("UK");
        logon.HKey = QStringLiteral("HA");
        logon.HKeyAlt = QStringLiteral("HB");
        db->exec(QStringLiteral("update other set ScreenText = 'screen' where id = 1"));
    }

    void setUser(qint32 uid, const QString& assignments) {
        db->exec(QStringLiteral("update Users set ") + assignments +
                 QStringLiteral(" where Uid = ") + QString::number(uid));
    }
    QString text(const QString& sql) { return db->scalar(sql).toString(); }
    // ctrl/outdate/pass of the user's row; empty without one.
    QString userOut(qint32 uid) {
        const QString where = QStringLiteral(" from UserOut where uid = ") + QString::number(uid);
        if (number(QStringLiteral("select count(*)") + where) == 0)
            return {};
        return text(QStringLiteral("select ctrl") + where) + u'/' +
               text(QStringLiteral("select outdate") + where) + u'/' +
               text(QStringLiteral("select pass") + where);
    }
    static QString today(int days) { return dateText(QDate::currentDate().addDays(days)); }
    void insert(const QString& table, const QString& rows) {
        db->exec(QStringLiteral("insert into ") + table + QStringLiteral(" values ") + rows);
    }
};
