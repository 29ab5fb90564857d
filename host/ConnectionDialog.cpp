#include "ConnectionDialog.h"

#include "Multilanguage.h"
#include "ui_ConnectionDialog.h"

#include <QFileDialog>
#include <QPushButton>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
enum Kind { SqliteKind = 0, PostgresKind = 1 };
// Rows of the form: the file of a SQLite database, the server's fields of a PostgreSQL one.
constexpr int FileRow = 1, FirstServerRow = 2, LastServerRow = 8;
} // namespace

ConnectionDialog::ConnectionDialog(QList<ConnectionProfile> recent, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ConnectionDialog>()), m_recent(std::move(recent)) {
    m_ui->setupUi(this);
    setTexts();
    for (const ConnectionProfile& profile : m_recent)
        m_ui->LstRecent->addItem(profile.name);
    connect(m_ui->CbKind, &QComboBox::currentIndexChanged, this, [this] { showKind(); });
    connect(m_ui->LstRecent, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < m_recent.size())
            fill(m_recent.at(row));
    });
    connect(m_ui->LstRecent, &QListWidget::itemActivated, this, [this] {
        if (m_ui->Buttons->button(QDialogButtonBox::Ok)->isEnabled())
            accept();
    });
    connect(m_ui->BtBrowse, &QToolButton::clicked, this, [this] { browse(); });
    for (QLineEdit* edit : {m_ui->EdFile, m_ui->EdDatabase, m_ui->EdUser})
        connect(edit, &QLineEdit::textChanged, this, [this] { updateOk(); });
    connect(m_ui->Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!m_recent.isEmpty())
        m_ui->LstRecent->setCurrentRow(0);
    showKind();
}

ConnectionDialog::~ConnectionDialog() = default;

void ConnectionDialog::setTexts() {
    setWindowTitle(GetString(u"ConnTitle"_s));
    m_ui->LblRecent->setText(GetString(u"ConnRecent"_s));
    m_ui->LstRecent->setAccessibleName(GetString(u"ConnRecent"_s).remove(u'&'));
    m_ui->LblKind->setText(GetString(u"ConnKind"_s));
    m_ui->CbKind->addItems({GetString(u"ConnSqlite"_s), GetString(u"ConnPg"_s)});
    m_ui->LblFile->setText(GetString(u"ConnFile"_s));
    m_ui->BtBrowse->setToolTip(GetString(u"ConnBrowse"_s));
    m_ui->BtBrowse->setAccessibleName(GetString(u"ConnBrowse"_s));
    m_ui->LblServer->setText(GetString(u"ConnServer"_s));
    m_ui->LblDatabase->setText(GetString(u"ConnDatabase"_s));
    m_ui->LblSchema->setText(GetString(u"ConnSchema"_s));
    m_ui->LblUser->setText(GetString(u"ConnUser"_s));
    m_ui->LblPassword->setText(GetString(u"ConnPassword"_s));
    m_ui->CbRemember->setText(GetString(u"ConnRemember"_s));
    m_ui->LblSslMode->setText(GetString(u"ConnSslMode"_s));
    m_ui->LblName->setText(GetString(u"ConnName"_s));
}

void ConnectionDialog::showKind() {
    const bool sqlite = m_ui->CbKind->currentIndex() == SqliteKind;
    m_ui->LayoutFields->setRowVisible(FileRow, sqlite);
    for (int row = FirstServerRow; row <= LastServerRow; ++row)
        m_ui->LayoutFields->setRowVisible(row, !sqlite);
    updateOk();
}

// The fields from the options of a connection opened before.
void ConnectionDialog::fill(const ConnectionProfile& profile) {
    const QStringList& a = profile.arguments;
    const auto value = [&a](const QString& option) {
        const qsizetype at = a.indexOf(option);
        return at >= 0 && at + 1 < a.size() ? a.at(at + 1) : QString();
    };
    const QString address = value(u"--pg"_s);
    m_ui->CbKind->setCurrentIndex(address.isEmpty() ? SqliteKind : PostgresKind);
    m_ui->EdFile->setText(value(u"--sqlite"_s));
    m_ui->EdServer->setText(address.section(u'/', 0, 0));
    m_ui->EdDatabase->setText(address.section(u'/', 1));
    m_ui->EdSchema->setText(value(u"--pg-schema"_s));
    m_ui->EdUser->setText(value(u"--pg-user"_s));
    m_ui->EdPassword->setText(value(u"--pg-password"_s));
    m_ui->CbRemember->setChecked(a.contains(u"--pg-password"_s));
    m_ui->CbSslMode->setCurrentIndex(
        std::max(0, m_ui->CbSslMode->findText(value(u"--pg-sslmode"_s))));
    m_ui->EdName->setText(profile.name);
}

void ConnectionDialog::browse() {
    const QString file = QFileDialog::getOpenFileName(this, GetString(u"ConnBrowse"_s),
                                                      m_ui->EdFile->text(), u"SQLite (*.db)"_s);
    if (!file.isEmpty())
        m_ui->EdFile->setText(file);
}

void ConnectionDialog::updateOk() {
    const bool complete = m_ui->CbKind->currentIndex() == SqliteKind
                              ? !m_ui->EdFile->text().trimmed().isEmpty()
                              : !m_ui->EdDatabase->text().trimmed().isEmpty() &&
                                    !m_ui->EdUser->text().trimmed().isEmpty();
    m_ui->Buttons->button(QDialogButtonBox::Ok)->setEnabled(complete);
}

QStringList ConnectionDialog::arguments() const {
    if (m_ui->CbKind->currentIndex() == SqliteKind)
        return {u"--sqlite"_s, m_ui->EdFile->text().trimmed()};
    const QString server = m_ui->EdServer->text().trimmed();
    QStringList arguments{u"--pg"_s,
                          (server.isEmpty() ? u"127.0.0.1"_s : server) + u'/' +
                              m_ui->EdDatabase->text().trimmed(),
                          u"--pg-user"_s, m_ui->EdUser->text().trimmed()};
    if (!m_ui->EdSchema->text().trimmed().isEmpty())
        arguments << u"--pg-schema"_s << m_ui->EdSchema->text().trimmed();
    if (m_ui->CbSslMode->currentIndex() > 0) // libpq's own default, prefer, goes unsaid
        arguments << u"--pg-sslmode"_s << m_ui->CbSslMode->currentText();
    if (!m_ui->EdPassword->text().isEmpty())
        arguments << u"--pg-password"_s << m_ui->EdPassword->text();
    return arguments;
}

QString ConnectionDialog::profileName() const {
    return m_ui->EdName->text().trimmed();
}

bool ConnectionDialog::keepPassword() const {
    return m_ui->CbKind->currentIndex() == PostgresKind && m_ui->CbRemember->isChecked();
}
