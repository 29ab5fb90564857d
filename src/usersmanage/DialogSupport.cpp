#include "DialogSupport.h"

#include "DbError.h"
#include "DbQuery.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "TMultilanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QPalette>
#include <QShowEvent>
#include <QTimer>
#include <QWidget>

using namespace Qt::StringLiterals;

int NameIdList::indexOfName(const QString& name) const {
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qint32 NameIdList::valueOf(const QString& name) const {
    const int index = indexOfName(name);
    return index < 0 ? 0 : m_entries[index].second;
}

int NameIdList::indexOfValue(qint32 id) const {
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].second == id)
            return i;
    }
    return -1;
}

void loadChoices(DbQuery& query, const QString& statement, const QString& nameField,
                 const QString& idField, QComboBox& box, NameIdList& list) {
    query.setSql(statement);
    query.open();
    for (; !query.eof(); query.next()) {
        const QString name = query.asString(nameField).trimmed();
        box.addItem(name);
        list.add(name, query.asInteger(idField));
    }
}

QString errorText(const std::exception& e) {
    const QString text = QString::fromUtf8(e.what());
    return text == DatabaseLocked ? GetString(u"DatabaseLocked"_s) : text;
}

void warn(const QString& text) {
    MyMessageBox(0, text, GetString(u"idinf"_s), MB_WARNING_OK);
}

QString quoted(QString text) {
    return u"'"_s + text.replace(u"'"_s, u"''"_s) + u"'"_s;
}

void showBusyUntilIdle() {
    static bool shown = false;
    if (shown)
        return;
    shown = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, [] {
        QApplication::restoreOverrideCursor();
        shown = false;
    });
}

TMultilanguage* addLanguageComponent(QObject* window) {
    auto* component = new TMultilanguage(window);
    component->SetShowLanguageMenu(false);
    component->SetAutoGenIniFile(true);
    component->SetActive(true);
    return component;
}

void keepSelectionVisible(QWidget* view) {
    QPalette palette = view->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

ModuleDialog::ModuleDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    addLanguageComponent(this);
}

void ModuleDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
