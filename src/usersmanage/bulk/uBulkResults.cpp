#include "uBulkResults.h"

#include "BulkAudit.h"
#include "BulkResultsModel.h"
#include "BulkTargetReader.h"
#include "DialogSupport.h"
#include "ModalHook.h"
#include "UserListExport.h"
#include "ui_uBulkResults.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QSaveFile>
#include <QSortFilterProxyModel>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int CountsMs = 100;

} // namespace

TFrmBulkResults::TFrmBulkResults(QList<BulkTarget> targets, const QString& word, QByteArray caption,
                                 qint32 port, int maxInFlight, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TFrmBulkResults>()),
      m_command(std::make_unique<BulkCommand>(std::move(targets), word, port,
                                              AgentBounds::fromLogonInfo(), maxInFlight)),
      m_audit(std::make_unique<BulkAudit>()), m_caption(std::move(caption)) {
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_model = new BulkResultsModel(*m_command, this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(Qt::UserRole);
    m_ui->LV_Results->setModel(m_sorted);
    m_ui->LV_Results->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_countsDue.setSingleShot(true);
    m_countsDue.setInterval(CountsMs);
    connect(&m_countsDue, &QTimer::timeout, this, &TFrmBulkResults::showCounts);
    connect(m_command.get(), &BulkCommand::targetsAdded, m_model, &BulkResultsModel::addRows);
    connect(m_command.get(), &BulkCommand::progressed, this, &TFrmBulkResults::onProgressed);
    connect(m_command.get(), &BulkCommand::finished, this, [this] {
        showCounts();
        emit runEnded();
    });
    connect(m_ui->BtnCancel, &QPushButton::clicked, this, &TFrmBulkResults::BtnCancelClick);
    connect(m_ui->BtnRetry, &QPushButton::clicked, this, &TFrmBulkResults::BtnRetryClick);
    connect(m_ui->BtnExport, &QPushButton::clicked, this, &TFrmBulkResults::BtnExportClick);
    connect(m_ui->BtnClose, &QPushButton::clicked, this, &QDialog::close);
    retranslate();
}

// A run still going ends cancelled; its rows are logged.
TFrmBulkResults::~TFrmBulkResults() {
    m_command->disconnect(this);
    cancelRun();
    for (int row = 0; row < m_command->results().size(); ++row)
        onProgressed(row);
    // The view and its models read the command: they go before it does.
    m_ui->LV_Results->setModel(nullptr);
    delete m_sorted;
    delete m_model;
}

void TFrmBulkResults::readTargets(std::unique_ptr<BulkTargetReader> reader) {
    m_reader = std::move(reader);
    connect(m_reader.get(), &BulkTargetReader::read, m_command.get(), &BulkCommand::addTargets);
    connect(m_reader.get(), &BulkTargetReader::ended, this, [this](const QString& error) {
        m_command->setMoreToCome(false);
        if (!error.isEmpty())
            warn(error);
    });
    m_reader->start();
    m_command->setMoreToCome(true);
}

void TFrmBulkResults::start() {
    m_command->run();
    showCounts();
}

void TFrmBulkResults::cancelRun() {
    if (m_reader && m_reader->isReading()) {
        m_reader->cancel();
        m_command->setMoreToCome(false);
    }
    m_command->cancel();
}

void TFrmBulkResults::onProgressed(int row) {
    m_changedFirst = m_changedFirst < 0 ? row : qMin(m_changedFirst, row);
    m_changedLast = qMax(m_changedLast, row);
    const BulkTarget& target = m_command->targets().at(row);
    const BulkResult& result = m_command->results().at(row);
    if (result.outcome != BulkOutcome::Pending && !m_logged.contains(row)) {
        m_logged.insert(row);
        m_audit->add(target.address, m_command->word(), target.name, bulkOutcomeWord(result));
    }
    if (!m_countsDue.isActive())
        m_countsDue.start();
}

// The rows changed since the last time, told to the view at once.
void TFrmBulkResults::showChanges() {
    if (m_changedFirst >= 0)
        m_model->rowsChanged(m_changedFirst, m_changedLast);
    m_changedFirst = m_changedLast = -1;
}

void TFrmBulkResults::showCounts() {
    showChanges();
    const BulkCommand::Counts counts = m_command->counts();
    m_ui->PbProgress->setRange(0, int(m_command->targets().size()));
    m_ui->PbProgress->setValue(int(m_command->targets().size()) - counts.pending);
    m_ui->LblCounts->setText(tr("已发送 %1，已确认 %2，失败 %3，等待 %4")
                                 .arg(counts.sent)
                                 .arg(counts.confirmed)
                                 .arg(counts.failed)
                                 .arg(counts.pending));
    const bool running = m_command->isRunning();
    m_ui->BtnCancel->setEnabled(running);
    m_ui->BtnRetry->setEnabled(!running && counts.failed > 0);
    m_ui->BtnExport->setEnabled(!running);
}

void TFrmBulkResults::BtnCancelClick() {
    cancelRun();
}

void TFrmBulkResults::BtnRetryClick() {
    QList<int> failed;
    for (int row = 0; row < m_command->results().size(); ++row) {
        if (isFailure(m_command->results().at(row).outcome)) {
            failed.append(row);
            m_logged.remove(row);
        }
    }
    m_command->run(failed);
    showCounts();
}

void TFrmBulkResults::BtnExportClick() {
    QFileDialog dialog(this, windowTitle(), QDir::home().filePath(u"results.csv"_s),
                       u"CSV (*.csv)"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"csv"_s);
    const QPointer<TFrmBulkResults> self(this);
    if (execModal(dialog) != QDialog::Accepted || !self || dialog.selectedFiles().isEmpty())
        return;
    if (!exportCsv(dialog.selectedFiles().constFirst()))
        warn(u"Export failed: "_s + dialog.selectedFiles().constFirst());
}

// The rows in the order shown.
bool TFrmBulkResults::exportCsv(const QString& path) const {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && writeModelCsv(*m_sorted, file) && file.commit();
}

// Esc cancels a running command before it closes the window.
void TFrmBulkResults::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_command->isRunning()) {
        cancelRun();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrmBulkResults::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

// The texts in the language in force; the caption is a main window menu item's.
void TFrmBulkResults::retranslate() {
    m_ui->retranslateUi(this);
    m_ui->LblCommand->setText(
        QCoreApplication::translate("TFrmUsersManage", m_caption.constData()).remove(u'&'));
    m_model->retranslate();
    showCounts();
}
