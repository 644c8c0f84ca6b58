#include "favourites/source_error.h"

ErreurSource::ErreurSource(QString fichier, QString message)
    : m_fichier(std::move(fichier)), m_message(std::move(message)), m_what(m_message.toUtf8())
{
}

ErreurSource ErreurSource::illisible(const QString &fichier)
{
    return {
        fichier,
        QStringLiteral("Le fichier de favoris «\u00a0%1\u00a0» ne peut pas être lu.").arg(fichier)};
}

ErreurSource ErreurSource::inconnu(const QString &fichier)
{
    return {
        fichier,
        QStringLiteral("Le fichier «\u00a0%1\u00a0» n'est pas un fichier de favoris reconnu\u00a0: "
                       "il faut un dossier de raccourcis, un fichier de marque-pages "
                       "HTML, le places.sqlite de Firefox ou le fichier Bookmarks "
                       "de Chromium.")
            .arg(fichier)};
}

ErreurSource ErreurSource::endommage(const QString &fichier)
{
    return {
        fichier,
        QStringLiteral(
            "Le fichier de favoris «\u00a0%1\u00a0» est endommagé ou incomplet\u00a0: il ne peut "
            "pas être lu.")
            .arg(fichier)};
}

ErreurSource ErreurSource::tropGrand(const QString &fichier, qint64 maxOctets)
{
    return {fichier,
            QStringLiteral("Le fichier de favoris «\u00a0%1\u00a0» est trop grand (plus de %2 Mo).")
                .arg(fichier)
                .arg(maxOctets >> 20)};
}

ErreurSource ErreurSource::tropComplexe(const QString &fichier)
{
    return {fichier,
            QStringLiteral("Le fichier de favoris «\u00a0%1\u00a0» est trop imbriqué ou trop "
                           "complexe pour être lu.")
                .arg(fichier)};
}
