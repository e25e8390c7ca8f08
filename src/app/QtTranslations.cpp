#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace karto {

QTranslator* installQtCzechTranslations(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    // qtbase_cs holds the widgets' and dialogs' texts.
    if (!translator->load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace karto
