#pragma once

#include "BulkCommand.h"

#include <QDialog>
#include <QSet>
#include <QTimer>
#include <memory>

namespace Ui {
class TFrmBulkResults;
}
class BulkAudit;
class BulkResultsModel;
class QSortFilterProxyModel;

// A one-word command sent to many agents, and its results: progress with counts and Cancel
// while it runs, then one row per user (sortable), a retry of the failed ones and a CSV export.
// Not modal: the main window stays usable. Each user's outcome goes to the operation log.
class TFrmBulkResults : public QDialog {
    Q_OBJECT
public:
    TFrmBulkResults(QList<BulkTarget> targets, const QString& word, const QString& caption,
                    qint32 port, int maxInFlight, QWidget* parent = nullptr);
    ~TFrmBulkResults() override;

    void start();
    void BtnCancelClick();
    void BtnRetryClick();
    void BtnExportClick();
    bool exportCsv(const QString& path) const;

    Ui::TFrmBulkResults* ui() const { return m_ui.get(); }
    const BulkCommand& command() const { return *m_command; }
    const BulkResultsModel& results() const { return *m_model; }

signals:
    void runEnded(); // the run (or the retry) ended

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onProgressed(int row);
    void showCounts();

    std::unique_ptr<Ui::TFrmBulkResults> m_ui;
    std::unique_ptr<BulkCommand> m_command;
    std::unique_ptr<BulkAudit> m_audit;
    BulkResultsModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
    QTimer m_countsDue; // the counts are rewritten a few times a second, not per answer
    QSet<int> m_logged; // rows whose outcome is in the operation log
};
