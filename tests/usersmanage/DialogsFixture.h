#pragma once

#include "ItemListModel.h"
#include "MainWindowFixture.h"
#include "SlicedRead.h"
#include "UserChoiceList.h"

#include <QAbstractItemView>
#include <QStringList>
#include <QTest>
#include <functional>

// The organisation's window open, for dialogs shown alone or through the window's commands.
class DialogsTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        open();
    }

    // A dialog shown as its command would show it, after setup has filled its fields.
    template <typename Dialog>
    static std::unique_ptr<Dialog> shown(const std::function<void(Dialog&)>& setup = {}) {
        auto dialog = std::make_unique<Dialog>();
        if (setup)
            setup(*dialog);
        dialog->show();
        return dialog;
    }

    // Answers the next dialog of class Dialog with act, returning the result it leaves.
    template <typename Dialog> void answerWith(std::function<void(Dialog&)> act) {
        script.answer<Dialog>([act = std::move(act)](Dialog& dialog) {
            act(dialog);
            return dialog.result();
        });
    }

    // The list's rows reload from the event loop: wait for the expected rows.
    void expectListed(const QList<qint32>& uids) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return listedUids() == uids; }, 5000))
            << "listed: " << QStringList(listedTexts()).join(u',').toStdString();
    }

    static QStringList captions(const QAbstractItemModel& list, int column = 0) {
        QStringList texts;
        for (int row = 0; row < list.rowCount(); ++row)
            texts.append(list.index(row, column).data().toString());
        return texts;
    }

    static void select(QAbstractItemView& view, int row) {
        view.selectionModel()->select(view.model()->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    }

private:
    QStringList listedTexts() const {
        QStringList texts;
        for (const qint32 uid : listedUids())
            texts.append(QString::number(uid));
        return texts;
    }
};
