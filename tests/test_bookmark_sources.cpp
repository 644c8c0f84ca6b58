// The bookmark file readers, and the dispatch that tells a source's kind by its content.

#include "favourites/bookmark_rows.h"
#include "favourites/netscape_reader.h"
#include "favourites/source.h"
#include "favourites/source_error.h"
#include "test_support.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

namespace
{

// An SQLite database made by the statements of these files of tests/data/places, by default
// a places.sqlite as Firefox keeps it, with its roots (README there), a statement with a "?"
// taking these values.
class Places
{
public:
    explicit Places(const QString &chemin, const QList<const char *> &fichiers = {"firefox.sql"},
                    const QVariantList &valeurs = {})
        : m_nom(QStringLiteral("places-%1").arg(++s_numero))
    {
        QSqlDatabase base = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_nom);
        base.setDatabaseName(chemin);
        base.open();
        for (const char *fichier : fichiers)
            for (const QByteArray &sql :
                 support::dataFile(("places/" + QByteArray(fichier)).constData()).split('\n'))
                if (!sql.isEmpty())
                    executer(sql, sql.contains('?') ? valeurs : QVariantList());
    }
    ~Places()
    {
        QSqlDatabase::database(m_nom, false).close();
        QSqlDatabase::removeDatabase(m_nom);
    }

    void executer(const QByteArray &sql, const QVariantList &valeurs = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_nom, false));
        q.prepare(QString::fromUtf8(sql));
        for (const QVariant &v : valeurs)
            q.addBindValue(v);
        QVERIFY2(q.exec(), sql.constData());
    }

private:
    QString m_nom;
    static inline int s_numero = 0;
};

// Reads a file and compares what it gives with its rows, "(incomplet)" after them for a file
// cut short, or with "! " and a part of the error message, which must name the file.
void verifier(const QString &fichier, QStringList attendu, bool trier = false)
{
    QStringList lues;
    try {
        const Source source = lireSource(fichier);
        lues = support::rows(source.liens);
        if (source.incomplet)
            lues << QStringLiteral("(incomplet)");
    } catch (const ErreurSource &erreur) {
        const QString &message = erreur.message();
        if (attendu.size() == 1 && attendu.at(0).startsWith(QLatin1String("! ")) &&
            message.contains(attendu.at(0).mid(2)) &&
            message.contains(QStringLiteral("«\u00a0%1\u00a0» ").arg(fichier)))
            return;
        lues << QStringLiteral("! ") + message;
    }
    if (trier) {
        lues.sort();
        attendu.sort();
    }
    QCOMPARE(lues, attendu);
}

} // namespace

class TestBookmarkSources : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;
    QString hote(const QString &nom) const { return m_dossier.filePath(nom); }

private Q_SLOTS:
    void files_data();
    void files();
    void made_data();
    void made();
    void firefoxWhileRunning();
    void chromiumHugeMember();
};

void TestBookmarkSources::files_data()
{
    QTest::addColumn<QString>("fichier");
    for (const char *dossier : {"netscape", "chromium", "sources"}) {
        const QDir d(QStringLiteral(SIGNETOR_DATA "/") + QLatin1String(dossier));
        for (const QString &nom : d.entryList(QDir::Files))
            if (!nom.endsWith(QLatin1String(".rows")) && !nom.startsWith(QLatin1String("README")))
                QTest::newRow(qPrintable(QLatin1String(dossier) + u'/' + nom)) << d.filePath(nom);
    }
}

// Each file of tests/data/{netscape,chromium,sources} gives the rows or the error of its NAME.rows
// (see the README of each folder; those made by a browser are sorted, the untitled folder under
// its English name). A Netscape file handed over byte by byte, every token cut somewhere, reads
// the same.
void TestBookmarkSources::files()
{
    QFETCH(QString, fichier);
    const QFileInfo info(fichier);
    QStringList attendu =
        QString::fromUtf8(support::readFile(info.path() + u'/' + info.completeBaseName() +
                                            QLatin1String(".rows")))
            .replace(QStringLiteral("(no title)"), QStringLiteral("(sans titre)"))
            .split(u'\n', Qt::SkipEmptyParts);
    if (fichier.contains(QLatin1String("truncated")))
        attendu << QStringLiteral("(incomplet)");
    verifier(fichier, attendu, !fichier.contains(QLatin1String("/sources/")));
    if (!attendu.value(0).startsWith(u'!') && typeFichierSignets(fichier) == TypeSource::Netscape) {
        bool incomplet = false;
        QCOMPARE(analyserNetscape(support::readFile(fichier), fichier, &incomplet, 1),
                 lireNetscape(fichier));
        QCOMPARE(incomplet, fichier.contains(QLatin1String("truncated")));
    }
}

void TestBookmarkSources::made_data()
{
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<qint64>("taille");
    QTest::addColumn<QStringList>("attendu");
    const QString tropImbrique = QStringLiteral("! trop imbriqué ou trop complexe");
    const QString endommage = QStringLiteral("! est endommagé ou incomplet");
    const QString tropGrand = QStringLiteral("! trop grand");
    const QByteArray doctype = "<!DOCTYPE NETSCAPE-Bookmark-file-1>";

    // Folders as deep as the limit are read, one level more is refused, in every reader.
    for (const int niveaux : {profondeurMaxSignets, profondeurMaxSignets + 1}) {
        const bool refuse = niveaux > profondeurMaxSignets;
        const QString chaine =
            QStringLiteral("\\d").repeated(niveaux - 1) + QStringLiteral("|Fond|http://fond/");
        QTest::addRow("Netscape %d deep", niveaux)
            << doctype + QByteArray("<DT><H3>d</H3><DL><p>").repeated(niveaux) +
                   "<DT><A HREF=\"http://fond/\">Fond</A>" +
                   QByteArray("</DL><p>").repeated(niveaux)
            << qint64(0) << QStringList(refuse ? tropImbrique : u'd' + chaine);
        QTest::addRow("Chromium %d deep", niveaux)
            << R"({"roots": {"bookmark_bar": )" +
                   QByteArray(R"({"type": "folder", "name": "d", "children": [)")
                       .repeated(niveaux) +
                   R"({"type": "url", "name": "Fond", "url": "http://fond/"})" +
                   QByteArray("]}").repeated(niveaux) + "}}"
            << qint64(0)
            << QStringList(refuse ? tropImbrique : QStringLiteral("Barre de favoris") + chaine);
        const QString chemin = hote(QStringLiteral("chaine-%1").arg(niveaux));
        Places(chemin, {"firefox.sql", "chain.sql"}, {niveaux});
        QTest::addRow("Firefox %d deep", niveaux)
            << support::readFile(chemin) << qint64(0)
            << QStringList(refuse ? tropImbrique : QStringLiteral("Barre personnelle") + chaine);
    }
    // Bounds are structural: a folder column longer than any real one is refused while reading.
    QTest::newRow("Netscape 20000 untitled folders deep")
        << doctype + QByteArray("<DT><H3></H3><DL><p>").repeated(20000) << qint64(0)
        << QStringList(tropImbrique);
    QTest::newRow("Netscape folder names of 40 KB")
        << doctype + ("<DT><H3>" + QByteArray(1000, 'd') + "</H3><DL><p>").repeated(40) +
               "<DT><A HREF=\"http://x/\">x</A>"
        << qint64(0) << QStringList(tropImbrique);

    // A large file is read in blocks: folders open across a block's end keep their rows.
    QTest::newRow("Netscape read in blocks")
        << "<DL><p><DT><H3>Grand</H3><DL><p><DT><H3>Sous</H3><DL><p>\n" +
               QByteArray("<DT><A HREF=\"http://e.example/chemin/\">x</A>\n").repeated(40000) +
               "</DL><p><DT><A HREF=\"http://g/\">G</A></DL><p><DT><A HREF=\"http://r/\">R</A></DL>"
        << qint64(0)
        << QStringList{QStringLiteral("|R|http://r/"), QStringLiteral("Grand|G|http://g/")} +
               QList<QString>(40000, QStringLiteral("Grand\\Sous|x|http://e.example/chemin/"));
    // A comment whose closing ">" begins a block still ends there.
    QTest::newRow("Netscape comment ending across blocks")
        << doctype + "<DL><p><!--" + QByteArray((1 << 16) - doctype.size() - 13, 'x') +
               "-->\n<DT><A HREF=\"http://a/\">a</A></DL>"
        << qint64(0) << QStringList(QStringLiteral("|a|http://a/"));
    // The largest file allowed is read whole (sparse: a NUL run outside any tag, then "</DL>").
    QTest::newRow("Netscape at the size limit")
        << doctype + "<DL><DT><A HREF=\"http://a/\">a</A>" << tailleMaxSignets
        << QStringList(QStringLiteral("|a|http://a/"));
    QTest::newRow("Netscape one byte too large")
        << doctype << tailleMaxSignets + 1 << QStringList(tropGrand);
    const QByteArray longue = QByteArray("\xc3\xa9t\xc3\xa9 0123456789").repeated(20000);
    QTest::newRow("Chromium relative address, dropped as in Chromium")
        << QByteArray(
               R"({"roots": {"other": {"type": "folder", "children": [{"type": "url", )"
               R"("url": "page.html"}, {"type": "url", "name": "a", "url": "http://a/"}]}}})")
        << qint64(0) << QStringList(QStringLiteral("Autres favoris|a|http://a/"));
    QTest::newRow("Chromium name longer than a block")
        << R"({"roots": {"other": {"type": "folder", "children": [{"type": "url", "name": ")" +
               longue + R"(", "url": "http://a/"}]}}})"
        << qint64(0)
        << QStringList(
               QStringLiteral("Autres favoris|%1|http://a/").arg(QString::fromUtf8(longue)));

    const QString modele = hote(QStringLiteral("modele.sqlite"));
    Places(modele, {"firefox.sql", "two-hundred.sql"});
    QByteArray abimee = support::readFile(modele);
    for (qsizetype i = 4096; i < abimee.size(); i += 7)
        abimee[i] = char(0xA5);
    QTest::newRow("places.sqlite damaged") << abimee << qint64(0) << QStringList(endommage);
    // Refused before anything is copied, the temporary folder being unusable meanwhile.
    QTest::newRow("places.sqlite huge")
        << support::readFile(modele) << (qint64(1) << 30) + 1 << QStringList(tropGrand);
    // 12 KB, whose one address would be 100 MB.
    Places(hote(QStringLiteral("geante.sqlite")), {"firefox.sql", "generated-address.sql"});
    Places(hote(QStringLiteral("autre.sqlite")), {"other-program.sql"});
    QTest::newRow("places.sqlite with an endless generated address")
        << support::readFile(hote(QStringLiteral("geante.sqlite"))) << qint64(0)
        << QStringList(endommage);
    QTest::newRow("SQLite of another program")
        << support::readFile(hote(QStringLiteral("autre.sqlite"))) << qint64(0)
        << QStringList(QStringLiteral("! n'est pas un fichier de favoris reconnu"));
    QTest::newRow("FIFO") << QByteArray() << qint64(0)
                          << QStringList(QStringLiteral("! ne peut pas être lu"));
}

// Files made here: those too large, too deep or of a kind the data folder cannot hold. A size
// makes the file sparse up to it, ending with "</DL>".
void TestBookmarkSources::made()
{
    QFETCH(QByteArray, contenu);
    QFETCH(qint64, taille);
    QFETCH(QStringList, attendu);
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    const QString fichier = hote(QStringLiteral("fait-") + tag);
    if (tag == QLatin1String("FIFO")) {
        QCOMPARE(mkfifo(QFile::encodeName(fichier).constData(), 0600), 0);
    } else {
        support::writeFile(fichier, contenu);
        if (taille > 0) {
            QFile f(fichier);
            QVERIFY(f.open(QIODevice::Append) && f.resize(taille - 5) && f.seek(f.size()) &&
                    f.write("</DL>") == 5);
        }
    }
    const auto remettre = qScopeGuard([tmp = qgetenv("TMPDIR")] { qputenv("TMPDIR", tmp); });
    if (tag == QLatin1String("places.sqlite huge"))
        qputenv("TMPDIR", QFile::encodeName(hote(QStringLiteral("absent"))));
    verifier(fichier, attendu);
}

// Firefox keeps the database open and its latest bookmarks in the log: they are read, the
// live files are left byte for byte as they were, and Firefox can go on writing. Tags,
// separators, place: queries, empty folders and folders in a loop give no row.
void TestBookmarkSources::firefoxWhileRunning()
{
    const QString fichier = hote(QStringLiteral("export.json"));
    Places places(fichier, {"firefox.sql", "running.sql"});
    const QString log = fichier + QStringLiteral("-wal");
    QVERIFY(QFileInfo(log).size() > QFileInfo(fichier).size());
    const QByteArray avant = support::readFile(fichier) + support::readFile(log);

    verifier(fichier, QString::fromUtf8(support::dataFile("places/running.rows"))
                          .split(u'\n', Qt::SkipEmptyParts));
    QVERIFY(support::readFile(fichier) + support::readFile(log) == avant);
    places.executer("INSERT INTO moz_places (id, url) VALUES (50, 'http://encore.example/')");
    places.executer("INSERT INTO moz_bookmarks (type, fk, parent, title) VALUES (1, 50, 2, 'E')");
    QCOMPARE(lireSource(fichier).liens.size(), 4);
}

// A member outside the bookmarks, as large as it may be, costs no memory: the file is read
// as a stream. Written piece by piece, so that the test's own peak stays low.
void TestBookmarkSources::chromiumHugeMember()
{
    QFile fichier(hote(QStringLiteral("Enorme")));
    QVERIFY(fichier.open(QIODevice::WriteOnly));
    fichier.write(R"({"sync_metadata": ")");
    for (int i = 0; i < 64; ++i)
        fichier.write(QByteArray(1 << 20, 'x'));
    fichier.write(R"(", "roots": {"other": {"type": "folder", "children": [)"
                  R"({"type": "url", "name": "A", "url": "http://a/"}]}}})");
    fichier.close();
    rusage avant{}, apres{};
    getrusage(RUSAGE_SELF, &avant);
    verifier(fichier.fileName(), QStringList(QStringLiteral("Autres favoris|A|http://a/")));
    getrusage(RUSAGE_SELF, &apres);
    QVERIFY2(apres.ru_maxrss - avant.ru_maxrss < 16 * 1024,
             qPrintable(QString::number(apres.ru_maxrss - avant.ru_maxrss)));
}

QTEST_GUILESS_MAIN(TestBookmarkSources)
#include "test_bookmark_sources.moc"
