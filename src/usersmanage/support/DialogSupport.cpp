#include "DialogSupport.h"

#include "DbConnection.h"
#include "DbError.h"
#include "DbQuery.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "TMultilanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QPalette>
#include <QRegularExpression>
#include <QShowEvent>
#include <QTimer>
#include <QWidget>

using namespace Qt::StringLiterals;

qint32 NameIdList::valueAt(int index) const {
    return index >= 0 && index < m_ids.size() ? m_ids[index] : 0;
}

int NameIdList::indexOfValue(qint32 id) const {
    return int(m_ids.indexOf(id));
}

void loadChoices(DbQuery& query, const QString& statement, const QString& nameField,
                 const QString& idField, QComboBox& box, NameIdList& list) {
    query.setSql(statement);
    query.open();
    for (; !query.eof(); query.next()) {
        const QString name = query.asString(nameField).trimmed();
        box.addItem(name);
        list.add(query.asInteger(idField));
    }
}

bool departExists(DbConnection* connection, qint32 id) {
    DbCommand count(connection, u"select count(*) from UserSort where id = :i"_s);
    count.setParam(u"i"_s, id);
    return id == 0 || count.scalar().toInt() > 0;
}

QString errorText(const std::exception& e) {
    const QString text = QString::fromUtf8(e.what());
    if (text == DatabaseLocked)
        return GetString(u"DatabaseLocked"_s);
    return text == ReadOnlyRefused ? GetString(u"DbReadOnly"_s) : text;
}

QString plainCaption(const QString& caption) {
    static const QRegularExpression accessKey(u"\\(&.\\)|&(?=.)"_s);
    return QString(caption).remove(accessKey).trimmed();
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
