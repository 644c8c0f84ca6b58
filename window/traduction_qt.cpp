#include "window/traduction_qt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installerTraductionQt()
{
    // One catalogue for the whole run, owned by the application.
    auto *traduction = new QTranslator(QCoreApplication::instance());
    if (!traduction->load(QStringLiteral("qtbase_fr"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete traduction;
        return false;
    }
    return QCoreApplication::installTranslator(traduction);
}
