#pragma once

#include "MultilangExport.h"

#include <QObject>

// The console's language component. Every window holds one and sets its three switches;
// translating a window's own captions is left to the host, so the component keeps the
// settings only.
class MULTILANG_EXPORT TMultilanguage : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool AutoGenIniFile READ AutoGenIniFile WRITE SetAutoGenIniFile)
    Q_PROPERTY(bool ShowLanguageMenu READ ShowLanguageMenu WRITE SetShowLanguageMenu)
public:
    explicit TMultilanguage(QObject* owner = nullptr);

    bool Active() const { return m_active; }
    void SetActive(bool active) { m_active = active; }
    bool AutoGenIniFile() const { return m_autoGenIniFile; }
    void SetAutoGenIniFile(bool autoGen) { m_autoGenIniFile = autoGen; }
    bool ShowLanguageMenu() const { return m_showLanguageMenu; }
    void SetShowLanguageMenu(bool show) { m_showLanguageMenu = show; }

private:
    bool m_active = false;
    bool m_autoGenIniFile = false;
    bool m_showLanguageMenu = true;
};
