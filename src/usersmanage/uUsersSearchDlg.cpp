#include "uUsersSearchDlg.h"

#include "DialogSupport.h"
#include "ui_uUsersSearchDlg.h"

#include <utility>

using namespace Qt::StringLiterals;

QString VagueString(const QString& value, bool fuzzy) {
    if (fuzzy)
        return u" like "_s + quoted(u'%' + value + u'%');
    return u" = "_s + quoted(value);
}

TFrmUsersSearchDlg::TFrmUsersSearchDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::TFrmUsersSearchDlg>()) {
    m_ui->setupUi(this);
    addLanguageComponent(this);
    connect(m_ui->BtnOK, &QPushButton::clicked, this, &TFrmUsersSearchDlg::BtnOKClick);
    connect(m_ui->BtCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmUsersSearchDlg::~TFrmUsersSearchDlg() = default;

void TFrmUsersSearchDlg::BtnOKClick() {
    // Columns of the user list's statement, in the order the boxes are read.
    const std::pair<const QLineEdit*, QString> boxes[] = {
        {m_ui->EdUsers, u" and UserName "_s}, {m_ui->EdDepart, u" and US.Name "_s},
        {m_ui->EdIP, u" and Ip "_s},          {m_ui->EdComputer, u" and ComputerName "_s},
        {m_ui->EdRole, u" and RName "_s},     {m_ui->EdCliVer, u" and CliVer "_s},
    };
    Condition.clear();
    for (const auto& [box, column] : boxes) {
        const QString value = box->text().trimmed();
        if (!value.isEmpty())
            Condition += column + VagueString(value, m_ui->CBFuzzy->isChecked());
    }
    accept();
}
