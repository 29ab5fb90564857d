#pragma once

#include "DialogsFixture.h"

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
    void insert(const QString& table, const QString& rows) {
        db->exec(QStringLiteral("insert into ") + table + QStringLiteral(" values ") + rows);
    }
};
