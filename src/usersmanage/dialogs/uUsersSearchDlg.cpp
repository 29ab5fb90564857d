#include "uUsersSearchDlg.h"

#include "ui_uUsersSearchDlg.h"

using namespace Qt::StringLiterals;

QString VagueString(const QString& value, bool fuzzy) {
    if (fuzzy)
        return u" like "_s + quoted(u'%' + value + u'%');
    return u" = "_s + quoted(value);
}

TFrmUsersSearchDlg::TFrmUsersSearchDlg(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrmUsersSearchDlg>()) {
    m_ui->setupUi(this);
    connect(m_ui->BtnOK, &QPushButton::clicked, this, &TFrmUsersSearchDlg::BtnOKClick);
    connect(m_ui->BtCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmUsersSearchDlg::~TFrmUsersSearchDlg() = default;

QList<QLineEdit*> TFrmUsersSearchDlg::Boxes() const {
    return {m_ui->EdUsers,    m_ui->EdDepart, m_ui->EdIP,
            m_ui->EdComputer, m_ui->EdRole,   m_ui->EdCliVer};
}

void TFrmUsersSearchDlg::FormShow() {
    for (QLineEdit* box : Boxes())
        box->clear();
}

void TFrmUsersSearchDlg::BtnOKClick() {
    // Columns of the user list's statement, in the order of the boxes.
    static const QString Columns[] = {u" and UserName "_s, u" and US.Name "_s,
                                      u" and Ip "_s,       u" and ComputerName "_s,
                                      u" and RName "_s,    u" and CliVer "_s};
    const QList<QLineEdit*> boxes = Boxes();
    Condition.clear();
    for (int i = 0; i < boxes.size(); ++i) {
        const QString value = boxes[i]->text().trimmed();
        if (!value.isEmpty())
            Condition += Columns[i] + VagueString(value, m_ui->CBFuzzy->isChecked());
    }
    accept();
}
