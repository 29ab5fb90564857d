#include "ModuleLanguage.h"

#include <QCoreApplication>
#include <QTranslator>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

std::unique_ptr<QTranslator>& installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool UseModuleLanguage(const QString& language) {
    if (language != u"eng") {
        DropModuleLanguage();
        return true;
    }
    if (installed())
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(u":/usersmanage/i18n/usersmanage_en.qm"_s))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    return true;
}

void DropModuleLanguage() {
    if (!installed())
        return;
    QCoreApplication::removeTranslator(installed().get());
    installed().reset();
}
