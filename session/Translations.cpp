#include "Translations.h"

#include "TrustPolicy.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString Translations::folder()
{
    return TrustPolicy::dataFolder() + QStringLiteral("/translations");
}

void Translations::install()
{
    QCoreApplication *application = QCoreApplication::instance();
    const QLocale locale = QLocale::system();
    // Without a locale the numbers stay as the tool has always written them, without separators.
    if (locale.language() == QLocale::C)
        QLocale::setDefault(QLocale::c());
    const struct
    {
        const char *name;
        QString folder;
    } catalogues[] = {{"qtbase", QLibraryInfo::location(QLibraryInfo::TranslationsPath)},
                      {"vorlan-update", folder()}};
    for (const auto &catalogue : catalogues) {
        auto *translator = new QTranslator(application);
        if (translator->load(locale, QLatin1String(catalogue.name), QStringLiteral("_"),
                             catalogue.folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
