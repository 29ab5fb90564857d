#pragma once

#include "ConnectionProfiles.h"

#include <QDialog>
#include <memory>

namespace Ui {
class ConnectionDialog;
}

// Chooses the management database when the console starts without one: a SQLite file, or a
// PostgreSQL server, database, schema and user; or one of the connections opened before.
class ConnectionDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionDialog(QList<ConnectionProfile> recent, QWidget* parent = nullptr);
    ~ConnectionDialog() override;

    // The console's options that name the chosen database.
    QStringList arguments() const;
    QString profileName() const; // the name to remember it by; empty: the database's own
    bool keepPassword() const;
    Ui::ConnectionDialog* ui() const { return m_ui.get(); }

private:
    void setTexts();
    void showKind(); // only the fields of the chosen kind of database
    void fill(const ConnectionProfile& profile);
    void browse();
    void updateOk();

    std::unique_ptr<Ui::ConnectionDialog> m_ui;
    QList<ConnectionProfile> m_recent;
};
