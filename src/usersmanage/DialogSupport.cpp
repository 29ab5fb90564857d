#include "DialogSupport.h"

#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "TMultilanguage.h"

#include <QApplication>
#include <QPalette>
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

QString errorText(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

void warn(const QString& text) {
    MyMessageBox(0, text, GetString(u"idinf"_s), MB_WARNING_OK);
}

QString quoted(QString text) {
    return u"'"_s + text.replace(u"'"_s, u"''"_s) + u"'"_s;
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
