#pragma once

#include "ModuleExport.h"

#include "DialogSupport.h"

#include <QString>
#include <memory>

namespace Ui {
class TFrmUsersSearchDlg;
}

// The operator and quoted value of one search criterion: " like '%value%'" when fuzzy,
// " = 'value'" otherwise; single quotes inside value are doubled.
QString VagueString(const QString& value, bool fuzzy);

// Criteria for the user list. After OK, Condition holds " and <column> <operator> <value>" for
// every filled box, in the boxes' order, or is empty. Touches no table itself.
class KVZ_MODULE_EXPORT TFrmUsersSearchDlg final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrmUsersSearchDlg(QWidget* parent = nullptr);
    ~TFrmUsersSearchDlg() override;

    QString Condition;

    void FormShow() override; // every opening starts with empty boxes
    void BtnOKClick();

    Ui::TFrmUsersSearchDlg* ui() const { return m_ui.get(); }

private:
    QList<class QLineEdit*> Boxes() const; // in the order they are read
    std::unique_ptr<Ui::TFrmUsersSearchDlg> m_ui;
};
