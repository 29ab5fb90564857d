#pragma once

#include "ModuleExport.h"

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
class BulkTargetReader;
class QSortFilterProxyModel;

// A one-word command sent to many agents, and its results: progress with counts and Cancel
// while it runs, then one row per user (sortable), a retry of the failed ones and a CSV export.
// Not modal: the main window stays usable. Each user's outcome goes to the operation log. The
// caption is the menu item's text as written, shown in the language in force.
class KVZ_MODULE_EXPORT TFrmBulkResults : public QDialog {
    Q_OBJECT
public:
    TFrmBulkResults(QList<BulkTarget> targets, const QString& word, QByteArray caption, qint32 port,
                    int maxInFlight, QWidget* parent = nullptr);
    ~TFrmBulkResults() override;

    // The targets come from reader as it reads them, sent to as they arrive. Throws DbError
    // when it cannot start.
    void readTargets(std::unique_ptr<BulkTargetReader> reader);
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
    void changeEvent(QEvent* event) override;

private:
    void onProgressed(int row);
    void showCounts();
    void showChanges();
    void cancelRun();
    void retranslate();

    std::unique_ptr<Ui::TFrmBulkResults> m_ui;
    std::unique_ptr<BulkCommand> m_command;
    std::unique_ptr<BulkAudit> m_audit;
    std::unique_ptr<BulkTargetReader> m_reader;
    BulkResultsModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
    QByteArray m_caption;
    // The counts and the changed rows are shown a few times a second, not per answer.
    QTimer m_countsDue;
    int m_changedFirst = -1, m_changedLast = -1;
    QSet<int> m_logged; // rows whose outcome is in the operation log
};
