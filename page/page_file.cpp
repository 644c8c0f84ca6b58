#include "page/page_file.h"

#include "page/page_builder.h"
#include "platform/file_system.h"
#include "platform/windows1252.h"

#include <cstring>
#include <optional>

namespace
{

constexpr qsizetype taillePiece = 64 * 1024;

// Appends a text of plain ASCII with no more than resizing the buffer.
template <std::size_t n> void ajouterAscii(QByteArray &octets, const char (&texte)[n])
{
    const qsizetype debut = octets.size();
    octets.resize(debut + qsizetype(n) - 1);
    std::memcpy(octets.data() + debut, texte, n - 1);
}

} // namespace

EcrivainPage::EcrivainPage(std::function<void(const QByteArray &)> ecrire)
    : m_ecrire(std::move(ecrire))
{
    m_tampon.reserve(taillePiece + 1024);
}

void EcrivainPage::ajouter(const QString &ligne)
{
    platform::appendWindows1252(m_tampon, ligne);
    m_tampon += "\r\n";
    if (m_tampon.size() >= taillePiece)
        terminer();
}

void EcrivainPage::ajouterLien(const QString &url, const QString &nom)
{
    ajouterAscii(m_tampon, debutLien);
    platform::appendWindows1252(m_tampon, url);
    ajouterAscii(m_tampon, milieuLien);
    platform::appendWindows1252(m_tampon, nom);
    ajouterAscii(m_tampon, finLien);
    ajouterAscii(m_tampon, "\r\n");
    if (m_tampon.size() >= taillePiece)
        terminer();
}

void EcrivainPage::terminer()
{
    if (m_tampon.isEmpty())
        return;
    m_ecrire(m_tampon);
    m_tampon.resize(0);
}

QByteArray contenuPage(const QStringList &Page)
{
    QByteArray octets;
    EcrivainPage ecrivain([&octets](const QByteArray &piece) { octets += piece; });
    for (const QString &ligne : Page)
        ecrivain << ligne;
    ecrivain.terminer();
    return octets;
}

void Enregistrer_Page(const QString &fichier, const QString &Chemin_Favoris,
                      const PageOptions &options)
{
    // The file opens with the first piece of the page, once the favourites are read: a long
    // scan leaves no temporary file about, and a scan that fails touches no file.
    std::optional<platform::AtomicFileWriter> sortie;
    EcrivainPage page([&](const QByteArray &piece) {
        if (!sortie)
            sortie.emplace(platform::HostPath(fichier));
        sortie->write(piece);
    });
    Produire_Page(Chemin_Favoris, options, page);
    page.terminer();
    if (!sortie)
        sortie.emplace(platform::HostPath(fichier));
    sortie->commit();
}
