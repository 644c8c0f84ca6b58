#pragma once

#include "page/page_generator.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

// Turns the lines of a page into the bytes of a page file, every line in Windows-1252 followed
// by CR LF, and hands them on in pieces of about 64 KiB, so that a page is never held whole.
class EcrivainPage : public SortiePage
{
public:
    explicit EcrivainPage(std::function<void(const QByteArray &)> ecrire);
    void ajouter(const QString &ligne) override;
    void ajouterLien(const QString &url, const QString &nom) override;
    // Hands on what is left.
    void terminer();

private:
    std::function<void(const QByteArray &)> m_ecrire;
    QByteArray m_tampon;
};

// The bytes of a page file for these lines.
QByteArray contenuPage(const QStringList &Page);

// Reads the favourites at Chemin_Favoris, then generates the page straight into the file,
// replacing it whole or not at all; both are host paths (see favourites/source.h). Throws
// platform::RuntimeError when the file cannot be written.
void Enregistrer_Page(const QString &fichier, const QString &Chemin_Favoris,
                      const PageOptions &options);
