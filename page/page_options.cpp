#include "page/page_options.h"

#include "platform/file_system.h"

const int taillesPoints[10] = {7, 8, 9, 10, 12, 14, 16, 18, 24, 36};

QString imageParDefaut()
{
    const QString image = platform::programFolder() + QStringLiteral("\\defbg.gif");
    return platform::plainFileExists(image) ? image : aucuneImage;
}
