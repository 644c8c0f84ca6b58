// The bookmark file readers, and the dispatch that tells a source's kind by its content.

#include "favourites/bookmark_rows.h"
#include "favourites/netscape_reader.h"
#include "favourites/source.h"
#include "favourites/source_error.h"
#include "platform/paths.h"
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

const char fichierNetscape[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<!-- This is an automatically generated file. -->\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Menu</H1>\n"
    "<DL><p>\n"
    "    <DT><a href=\"http://racine.example/\" add_date=\"1700000000\">Racine &amp; co "
    "&#8364;</a>\n"
    "    <DT><H3 ADD_DATE=\"1\">Outils\\Web</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://a.example/?q=&quot;x&quot;\">&lt;b&gt;Gras&lt;/b&gt; "
    "&eacute;t&#xE9;</A>\n"
    "        <DT><A HREF=\"http://sans-titre.example/\"></A>\n"
    "        <HR>\n"
    "        <DT><A HREF=\"place:sort=8\">Récents</A>\n"
    "        <DT><A>Sans adresse</A>\n"
    "        <DT><H3>Vide</H3>\n"
    "        <DL><p>\n"
    "        </DL><p>\n"
    "        <DT><H3>Sans liste</H3>\n"
    "        <DT><H3>Sous</H3>\n"
    "        <DD>Une description\n"
    "        <DL><p>\n"
    "            <DT><A HREF=\"http://profond.example/\">Profond\n"
    "        </DL><p>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"http://apres.example/\">Après</A>\n"
    "</DL><p>\n";

const char fichierChromium[] =
    "{\n"
    "   \"checksum\": \"0\",\n"
    "   \"roots\": {\n"
    "      \"bookmark_bar\": { \"children\": [\n"
    "         { \"date_added\": \"13300000000000000\", \"name\": \"Ex\\\\a <i>\", \"type\": "
    "\"url\", \"url\": \"http://e.example/\" },\n"
    "         { \"children\": [ { \"name\": \"\", \"type\": \"url\", \"url\": "
    "\"http://sans-nom.example/\" } ],\n"
    "           \"name\": \"Sous\", \"type\": \"folder\" },\n"
    "         { \"children\": [], \"name\": \"Vide\", \"type\": \"folder\" } ],\n"
    "         \"name\": \"Bookmarks bar\", \"type\": \"folder\" },\n"
    "      \"other\": { \"children\": [ { \"name\": \"O\", \"type\": \"url\", \"url\": "
    "\"http://o.example/\" } ],\n"
    "         \"name\": \"Other bookmarks\", \"type\": \"folder\" },\n"
    "      \"synced\": { \"children\": [ { \"name\": \"M\", \"type\": \"url\", \"url\": "
    "\"http://m.example/\" } ],\n"
    "         \"name\": \"Mobile bookmarks\", \"type\": \"folder\" }\n"
    "   },\n"
    "   \"version\": 1\n"
    "}\n";

// An SQLite database, by default a places.sqlite with the tables and columns that are read,
// in write-ahead-log mode as Firefox keeps it, and Firefox's roots. The caller adds
// (parent, type, title, URL) rows.
class Places
{
public:
    explicit Places(
        const QString &chemin,
        const QList<const char *> &schema =
            {"PRAGMA journal_mode=WAL", "PRAGMA wal_autocheckpoint=0",
             "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR)",
             "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, parent "
             "INTEGER, position INTEGER, title LONGVARCHAR, dateAdded INTEGER, guid TEXT)",
             "INSERT INTO moz_bookmarks (id, type, parent, title, guid) VALUES "
             "(1, 2, 0, '', 'root________'), (2, 2, 1, 'menu', 'menu________'), "
             "(3, 2, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 'tags', 'tags________'), "
             "(5, 2, 1, 'unfiled', 'unfiled_____'), (6, 2, 1, 'mobile', 'mobile______')"})
        : m_nom(QStringLiteral("places-%1").arg(++s_numero))
    {
        QSqlDatabase base = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_nom);
        base.setDatabaseName(chemin);
        base.open();
        for (const char *sql : schema)
            executer(sql);
    }
    ~Places()
    {
        QSqlDatabase::database(m_nom, false).close();
        QSqlDatabase::removeDatabase(m_nom);
    }

    // Runs a statement with these values bound; the id of the row it added.
    int executer(const char *sql, const QVariantList &valeurs = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_nom, false));
        q.prepare(QString::fromUtf8(sql));
        for (const QVariant &v : valeurs)
            q.addBindValue(v);
        [&] { QVERIFY2(q.exec(), sql); }();
        return q.lastInsertId().toInt();
    }

    // Adds an item; returns its id.
    int ajouter(int parent, int type, const QString &titre, const QString &url = QString())
    {
        const QVariant fk =
            url.isEmpty() ? QVariant() : executer("INSERT INTO moz_places (url) VALUES (?)", {url});
        return executer("INSERT INTO moz_bookmarks (type, fk, parent, title, dateAdded, guid) "
                        "VALUES (?, ?, ?, ?, 1700000000000000, 'x')",
                        {type, fk, parent, titre});
    }

private:
    QString m_nom;
    static inline int s_numero = 0;
};

// A Bookmarks file whose roots hold these members, as JSON text.
QByteArray bookmarksDe(const QByteArray &racines)
{
    return "{\"checksum\": \"0\", \"roots\": {" + racines + "}, \"version\": 1}";
}

// One bookmark in a chain of folders, this many levels deep with the bar's own folder.
QByteArray chaineChromium(int niveaux)
{
    QByteArray noeud = R"({"type": "url", "name": "Fond", "url": "http://fond/"})";
    for (int i = 0; i < niveaux; ++i)
        noeud = R"({"type": "folder", "name": "d", "children": [)" + noeud + "]}";
    return bookmarksDe("\"bookmark_bar\": " + noeud);
}

// The same chain in a places.sqlite, below the toolbar.
void chaineFirefox(const QString &chemin, int niveaux)
{
    Places places(chemin);
    int dossier = 3;
    for (int i = 1; i < niveaux; ++i)
        dossier = places.ajouter(dossier, 2, QStringLiteral("d"));
    places.ajouter(dossier, 1, QStringLiteral("Fond"), QStringLiteral("http://fond/"));
}

} // namespace

class TestBookmarkSources : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;
    QString hote(const QString &nom) const { return m_dossier.filePath(nom); }

    // Reads a source that must be of this kind; its rows.
    QStringList lire(const QString &nom, TypeSource attendu)
    {
        const Source source = lireSource(hote(nom));
        [&] { QCOMPARE(int(source.type), int(attendu)); }();
        return support::rows(source.liens);
    }

private Q_SLOTS:
    void netscape();
    void firefoxWhileRunning();
    void chromium_data();
    void chromium();
    void nestingLimit();
    void chromiumHugeMember();
    void unreadableFiles_data();
    void unreadableFiles();
    void parserBounds();
    void corpus_data();
    void corpus();
};

// Folders from H3 titles down, links outside any folder at the root; separators, place:
// queries, links without an address and the parser's copies of an A left open give no row.
// The kind comes from the content, not the name.
void TestBookmarkSources::netscape()
{
    support::writeFile(hote(QStringLiteral("Bookmarks")), fichierNetscape);
    QCOMPARE(lire(QStringLiteral("Bookmarks"), TypeSource::Netscape),
             QStringList({QStringLiteral("|Après|http://apres.example/"),
                          QStringLiteral("|Racine & co €|http://racine.example/"),
                          QStringLiteral("Outils/Web|<b>Gras</b> été|http://a.example/?q=\"x\""),
                          QStringLiteral("Outils/Web|http://sans-titre.example/|"
                                         "http://sans-titre.example/"),
                          QStringLiteral("Outils/Web\\Sous|Profond|http://profond.example/")}));
    QCOMPARE(lireSource(hote(QStringLiteral("Bookmarks"))).liens.at(1).date, 1700000000);

    // A large file is read in blocks: folders open across a block's end keep their rows.
    QByteArray grand = "<DL><p><DT><H3>Grand</H3><DL><p><DT><H3>Sous</H3><DL><p>\n";
    for (int i = 0; i < 40000; ++i)
        grand +=
            "<DT><A HREF=\"http://exemple.example/chemin/\">" + QByteArray::number(i) + "</A>\n";
    grand += "</DL><p><DT><A HREF=\"http://g/\">G</A></DL><p><DT><A HREF=\"http://r/\">R</A></DL>";
    QVERIFY(grand.size() > 3 << 19);
    support::writeFile(hote(QStringLiteral("grand.html")), grand);
    const QStringList lignesGrand = lire(QStringLiteral("grand.html"), TypeSource::Netscape);
    QCOMPARE(lignesGrand.filter(QStringLiteral("Grand\\Sous|")).size(), 40000);
    QCOMPARE(lignesGrand.first() + lignesGrand.at(1),
             QStringLiteral("|R|http://r/Grand|G|http://g/"));

    // Without a doctype, and in the Windows character set when the bytes are not UTF-8.
    support::writeFile(hote(QStringLiteral("ie.htm")),
                       "<HTML><DL><DT><A HREF=\"http://c/\">caf\xE9</A></DL>");
    QCOMPARE(lire(QStringLiteral("ie.htm"), TypeSource::Netscape),
             QStringList(QStringLiteral("|café|http://c/")));
}

// Firefox keeps the database open and its latest bookmarks in the log: they are read, the
// live files are left byte for byte as they were, and Firefox can go on writing.
void TestBookmarkSources::firefoxWhileRunning()
{
    const QString fichier = hote(QStringLiteral("export.json"));
    Places places(fichier);
    const int dossier = places.ajouter(3, 2, QStringLiteral("Dev\\Web"));
    places.ajouter(dossier, 1, QStringLiteral("<b>A</b>"), QStringLiteral("http://a.example/"));
    places.ajouter(2, 1, QString(), QStringLiteral("http://sans-titre.example/"));
    places.ajouter(2, 3, QString()); // separator
    places.ajouter(5, 1, QStringLiteral("Requête"), QStringLiteral("place:tag=x"));
    const int etiquette = places.ajouter(4, 2, QStringLiteral("étiquette"));
    places.ajouter(etiquette, 1, QString(), QStringLiteral("http://a.example/"));
    places.ajouter(places.ajouter(5, 2, QStringLiteral("Vide")), 2, QStringLiteral("Aussi"));
    // Two folders each in the other, as only a damaged database has them.
    places.executer("INSERT INTO moz_bookmarks (id, type, parent, title) VALUES "
                    "(100, 2, 101, 'a'), (101, 2, 100, 'b')");
    places.ajouter(100, 1, QStringLiteral("Boucle"), QStringLiteral("http://boucle.example/"));
    places.ajouter(6, 1, QStringLiteral("Ajouté à l'instant"), QStringLiteral("http://n.example/"));
    const QString log = fichier + QStringLiteral("-wal");
    QVERIFY(QFileInfo(log).size() > QFileInfo(fichier).size());
    const QByteArray avant = support::readFile(fichier) + support::readFile(log);

    QCOMPARE(lire(QStringLiteral("export.json"), TypeSource::Firefox),
             QStringList({QStringLiteral("Barre personnelle\\Dev/Web|<b>A</b>|http://a.example/"),
                          QStringLiteral("Marque-pages des appareils mobiles|Ajouté à l'instant|"
                                         "http://n.example/"),
                          QStringLiteral("Menu des marque-pages|http://sans-titre.example/|"
                                         "http://sans-titre.example/")}));
    QVERIFY(support::readFile(fichier) + support::readFile(log) == avant);
    places.ajouter(2, 1, QStringLiteral("Encore"), QStringLiteral("http://encore.example/"));
    QCOMPARE(lire(QStringLiteral("export.json"), TypeSource::Firefox).size(), 4);
    QCOMPARE(lireSource(hote(QStringLiteral("export.json"))).liens.at(0).date, 1700000000);
}

void TestBookmarkSources::chromium_data()
{
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<QStringList>("attendu");
    const auto dossier = [](const QByteArray &nom, const QByteArray &enfants,
                            const QByteArray &plus = {}) {
        return R"({"type": "folder", "name": ")" + nom + R"(", "children": [)" + enfants + ']' +
               plus + '}';
    };
    const QByteArray a = R"({"type": "url", "name": "A", "url": "http://a/"})",
                     b = R"({"type": "url", "name": "B", "url": "http://b/"})",
                     puisB = R"(, "children": [)" + b + ']';
    const QString autresB = QStringLiteral("Autres favoris|B|http://b/");
    // The roots take their French names; a bookmark's name keeps its "\".
    QTest::newRow("browser's layout")
        << QByteArray(fichierChromium)
        << QStringList{QStringLiteral("Autres favoris|O|http://o.example/"),
                       QStringLiteral("Barre de favoris|Ex\\a <i>|http://e.example/"),
                       QStringLiteral("Barre de favoris\\Sous|http://sans-nom.example/|"
                                      "http://sans-nom.example/"),
                       QStringLiteral("Favoris sur mobile|M|http://m.example/")};
    // The browser keeps the last of two members of the same name, a node's children included.
    QTest::newRow("two children arrays in a root")
        << bookmarksDe("\"bookmark_bar\": " + dossier("R", a + ',' + dossier("S", a), puisB))
        << QStringList(QStringLiteral("Barre de favoris|B|http://b/"));
    // Of the roots, only the browser's three are read.
    QTest::newRow("roots repeated or unknown")
        << bookmarksDe("\"x\": " + dossier("X", a) + ", \"other\": " + dossier("O", a) +
                       ", \"meta_info\": {}, \"other\": " + dossier("O", b))
        << QStringList(autresB);
    QTest::newRow("folder without a title")
        << bookmarksDe("\"other\": " + dossier("O", dossier("", a)))
        << QStringList(QStringLiteral("Autres favoris\\(sans titre)|A|http://a/"));
    QTest::newRow("escapes, members in any order, other members skipped")
        << bookmarksDe(R"("other": {"children": [{"url": "http://e/", "x": [1.5e3, -0, true,
           null, {"y": "\u00e9"}], "n\u0061me": "\u00c9t\u00e9 \ud83d\ude00 \ud800! \/",
           "type": "url"}], "type": "folder"})")
        << QStringList(
               QStringLiteral("Autres favoris|\u00c9t\u00e9 \U0001F600 \uFFFD! /|http://e/"));
    // Longer than any block of the file read at once: every byte is kept across blocks.
    const QByteArray longue = QByteArray("\xc3\xa9t\xc3\xa9 0123456789").repeated(20000);
    QTest::newRow("long name")
        << bookmarksDe("\"other\": " + dossier("O", R"({"type": "url", "name": ")" + longue +
                                                        R"(", "url": "http://a/"})"))
        << QStringList(
               QStringLiteral("Autres favoris|%1|http://a/").arg(QString::fromUtf8(longue)));
}

void TestBookmarkSources::chromium()
{
    QFETCH(QByteArray, contenu);
    QFETCH(QStringList, attendu);
    support::writeFile(hote(QStringLiteral("favoris.html")), contenu);
    QCOMPARE(lire(QStringLiteral("favoris.html"), TypeSource::Chromium), attendu);
}

// Folders as deep as the limit are read, in both kinds of browser file; one level more is
// refused.
void TestBookmarkSources::nestingLimit()
{
    const auto lu = [](const QString &fichier) {
        try {
            return support::rows(lireSource(fichier).liens).join(u'\n');
        } catch (const ErreurSource &erreur) {
            return erreur.message();
        }
    };
    for (const int niveaux : {profondeurMaxSignets, profondeurMaxSignets + 1}) {
        const QString json = hote(QStringLiteral("%1.json").arg(niveaux)), sqlite = json + u'l';
        support::writeFile(json, chaineChromium(niveaux));
        chaineFirefox(sqlite, niveaux);
        const QString chaine =
            QStringLiteral("\\d").repeated(niveaux - 1) + QStringLiteral("|Fond|http://fond/");
        QCOMPARE(lu(json).contains(QStringLiteral("trop imbriqué")),
                 niveaux > profondeurMaxSignets);
        QCOMPARE(lu(sqlite).contains(QStringLiteral("trop imbriqué")),
                 niveaux > profondeurMaxSignets);
        if (niveaux == profondeurMaxSignets)
            QVERIFY(lu(json) == QStringLiteral("Barre de favoris") + chaine &&
                    lu(sqlite) == QStringLiteral("Barre personnelle") + chaine);
    }
}

// A member outside the bookmarks, as large as it may be, costs no memory: the file is read
// as a stream. Written piece by piece, so that the test's own peak stays low.
void TestBookmarkSources::chromiumHugeMember()
{
    QFile fichier(hote(QStringLiteral("Enorme")));
    QVERIFY(fichier.open(QIODevice::WriteOnly));
    fichier.write(R"({"sync_metadata": ")");
    const QByteArray bloc(1 << 20, 'x');
    for (int i = 0; i < 64; ++i)
        fichier.write(bloc);
    fichier.write(R"(", "roots": {"other": {"type": "folder", "children": [{"type": "url",
                  "name": "A", "url": "http://a/"}]}}})");
    fichier.close();
    rusage avant{}, apres{};
    getrusage(RUSAGE_SELF, &avant);
    QCOMPARE(lire(QStringLiteral("Enorme"), TypeSource::Chromium),
             QStringList(QStringLiteral("Autres favoris|A|http://a/")));
    getrusage(RUSAGE_SELF, &apres);
    QVERIFY2(apres.ru_maxrss - avant.ru_maxrss < 16 * 1024,
             qPrintable(QString::number(apres.ru_maxrss - avant.ru_maxrss)));
}

void TestBookmarkSources::unreadableFiles_data()
{
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<QString>("message");
    const QString endommage = QStringLiteral("est endommagé ou incomplet");
    const QString inconnu = QStringLiteral("n'est pas un fichier de favoris reconnu");
    const QString tropImbrique = QStringLiteral("trop imbriqué ou trop complexe");

    const QString base = hote(QStringLiteral("modele.sqlite"));
    {
        Places places(base);
        places.ajouter(2, 1, QStringLiteral("A"), QStringLiteral("http://a/"));
        for (int i = 0; i < 200; ++i)
            places.ajouter(3, 1, QStringLiteral("B%1").arg(i),
                           QStringLiteral("http://b/%1").arg(i));
        places.executer("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    const QByteArray sqlite = support::readFile(base);
    QByteArray abimee = sqlite;
    for (qsizetype i = 4096; i < abimee.size(); i += 7)
        abimee[i] = char(0xA5);

    const QByteArray html(fichierNetscape);
    const QByteArray json(fichierChromium);
    QTest::newRow("Bookmarks cut short") << json.left(json.size() - 3) << endommage;
    const auto abimer = [&](const char *avant, const char *apres) {
        QByteArray texte = json;
        Q_ASSERT(texte.contains(avant));
        return texte.replace(avant, apres);
    };
    QTest::newRow("Bookmarks with an empty element")
        << abimer("\"children\": [\n", "\"children\": [ ,\n") << endommage;
    QTest::newRow("Bookmarks with two values unseparated")
        << abimer("\"name\": \"O\"", "\"name\": \"O\" \"P\"") << endommage;
    QTest::newRow("Bookmarks with blank-separated numbers")
        << abimer("\"checksum\": \"0\"", "\"checksum\": [0 1]") << endommage;
    QTest::newRow("Bookmarks followed by garbage") << json + "x" << endommage;
    QTest::newRow("JSON without roots") << QByteArray("{\"version\": 1}") << endommage;
    QTest::newRow("JSON nested too deep")
        << "{\"roots\": " + QByteArray(5000, '[') + QByteArray(5000, ']') + '}' << tropImbrique;
    QTest::newRow("Bookmarks with invalid UTF-8 outside the bookmarks")
        << abimer("\"checksum\": \"0\"", "\"checksum\": \"\xC3(\"") << endommage;
    QTest::newRow("Bookmarks with a control character in a string")
        << abimer("\"checksum\": \"0\"", "\"checksum\": \"\t\"") << endommage;
    QTest::newRow("Bookmarks with a misspelt literal")
        << abimer("\"version\": 1", "\"version\": truex") << endommage;
    {
        // 12 KB, whose one address would be 100 MB.
        Places geante(hote(QStringLiteral("geante.sqlite")));
        geante.executer("DROP TABLE moz_places");
        geante.executer("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url GENERATED ALWAYS "
                        "AS (zeroblob(100000000)))");
        geante.executer("INSERT INTO moz_places (id) VALUES (1)");
        geante.executer("INSERT INTO moz_bookmarks (type, fk, parent) VALUES (1, 1, 3)");
    }
    QTest::newRow("places.sqlite with an endless generated address")
        << support::readFile(hote(QStringLiteral("geante.sqlite"))) << endommage;
    // Larger than allowed: refused before anything is copied, the temporary folder being
    // unusable meanwhile (the file is sparse).
    QTest::newRow("places.sqlite huge") << sqlite << QStringLiteral("trop grand");
    {
        Places autre(hote(QStringLiteral("autre.sqlite")), {"CREATE TABLE t (x)"});
    }
    QTest::newRow("SQLite of another program")
        << support::readFile(hote(QStringLiteral("autre.sqlite"))) << inconnu;
    QTest::newRow("empty file") << QByteArray() << inconnu;
    QTest::newRow("Netscape doctype, nothing of a bookmark file")
        << QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1><TITLE>T</TITLE><H1>T</H1>") << inconnu;
    QTest::newRow("web page with a list and links")
        << QByteArray("<!DOCTYPE html><html><body><dl><dd><a href=\"http://a/\">a</a></dl>")
        << inconnu;
    QTest::newRow("other text") << QByteArray("[InternetShortcut]\r\nURL=http://x/\r\n") << inconnu;
    // Bigger than any bookmark file: refused before it is read (the file is sparse).
    QTest::newRow("huge") << QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1>")
                          << QStringLiteral("trop grand");
    QTest::newRow("FIFO") << QByteArray() << QStringLiteral("ne peut pas être lu");
}

// A file that cannot be read or parsed is an error naming it, never an empty table.
void TestBookmarkSources::unreadableFiles()
{
    QFETCH(QByteArray, contenu);
    QFETCH(QString, message);
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    const QString fichier = hote(tag);
    if (tag == QLatin1String("FIFO")) {
        QCOMPARE(mkfifo(QFile::encodeName(fichier).constData(), 0600), 0);
    } else {
        support::writeFile(fichier, contenu);
        if (tag == QLatin1String("huge"))
            QVERIFY(QFile(fichier).resize(qint64(300) << 20));
        if (tag == QLatin1String("places.sqlite huge"))
            QVERIFY(QFile(fichier).resize((qint64(1) << 30) + 1));
    }
    const auto remettre = qScopeGuard([tmp = qgetenv("TMPDIR")] { qputenv("TMPDIR", tmp); });
    if (tag == QLatin1String("places.sqlite huge"))
        qputenv("TMPDIR", QFile::encodeName(hote(QStringLiteral("absent"))));
    try {
        lireSource(fichier);
        QFAIL("no error");
    } catch (const ErreurSource &erreur) {
        QVERIFY2(erreur.message().contains(QStringLiteral("«\u00a0%1\u00a0» ").arg(fichier)) &&
                     erreur.message().contains(message),
                 qPrintable(erreur.message()));
    }
}

// Bounds are structural: folders nested deeper than any browser makes, or a folder column
// longer than any real one, are refused while reading, in one piece of a few hundred KB; the
// largest file allowed is read whole (a sparse one, mostly a NUL run outside any tag).
void TestBookmarkSources::parserBounds()
{
    const auto profond = [](int n, const QByteArray &titre) {
        return "<!DOCTYPE NETSCAPE-Bookmark-file-1>" +
               ("<DT><H3>" + titre + "</H3><DL><p>").repeated(n) +
               "<DT><A HREF=\"http://x/\">x</A>" + QByteArray("</DL><p>").repeated(n);
    };
    QCOMPARE(analyserNetscape(profond(profondeurMaxSignets, "d"), QStringLiteral("p")).size(), 1);
    QVERIFY_THROWS_EXCEPTION(ErreurSource, analyserNetscape(profond(profondeurMaxSignets + 1, "d"),
                                                            QStringLiteral("p")));
    QVERIFY_THROWS_EXCEPTION(ErreurSource,
                             analyserNetscape(profond(20000, ""), QStringLiteral("p")));
    QVERIFY_THROWS_EXCEPTION(
        ErreurSource, analyserNetscape(profond(40, QByteArray(1000, 'd')), QStringLiteral("p")));

    const QString fichier = hote(QStringLiteral("enorme.html"));
    support::writeFile(fichier,
                       "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://a/\">a</A>");
    QFile f(fichier);
    QVERIFY(f.open(QIODevice::Append) && f.resize(tailleMaxSignets - 16) && f.seek(f.size()) &&
            f.write("</DL>") == 5);
    f.close();
    bool incomplet = true;
    QCOMPARE(support::rows(lireNetscape(hote(QStringLiteral("enorme.html")), &incomplet)),
             QStringList(QStringLiteral("|a|http://a/")));
    QVERIFY(!incomplet);
}

void TestBookmarkSources::corpus_data()
{
    QTest::addColumn<QString>("fichier");
    const QDir dossier(QStringLiteral(SIGNETOR_DATA "/netscape"));
    for (const QString &nom : dossier.entryList({QStringLiteral("*.html")}))
        QTest::newRow(qPrintable(nom)) << dossier.filePath(nom);
}

// Each file of tests/data/netscape gives the rows that Firefox made of it (its .rows file,
// written by tools/firefox-import-rows.py), the untitled folder under its French name; only a
// file cut short says so.
void TestBookmarkSources::corpus()
{
    QFETCH(QString, fichier);
    QFile f(fichier.chopped(5) + QStringLiteral(".rows"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringList attendu = QString::fromUtf8(f.readAll())
                              .replace(QStringLiteral("(no title)"), QStringLiteral("(sans titre)"))
                              .split(u'\n', Qt::SkipEmptyParts);
    const Source source = lireSource(fichier);
    QCOMPARE(int(source.type), int(TypeSource::Netscape));
    QStringList lues = support::rows(source.liens);
    lues.sort();
    attendu.sort();
    QCOMPARE(lues, attendu);
    QCOMPARE(source.incomplet, fichier.contains(QStringLiteral("truncated")));
    // Handed over byte by byte, every token cut somewhere, the file reads the same.
    bool incomplet = false;
    QCOMPARE(analyserNetscape(support::readFile(fichier), fichier, &incomplet, 1),
             lireNetscape(fichier));
    QCOMPARE(incomplet, source.incomplet);
}

QTEST_GUILESS_MAIN(TestBookmarkSources)
#include "test_bookmark_sources.moc"
