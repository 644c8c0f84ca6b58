// The bookmark file readers, and the dispatch that tells a source's kind by its content.

#include "favourites/netscape_reader.h"
#include "favourites/source.h"
#include "favourites/source_error.h"
#include "platform/paths.h"
#include "test_support.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

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
    void chromium();
    void unreadableFiles_data();
    void unreadableFiles();
    void parserBounds();
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

    // A large file is parsed in pieces: folders open across a cut keep their rows.
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

// Chromium's roots take their French names; a "\" in a title becomes "/".
void TestBookmarkSources::chromium()
{
    support::writeFile(hote(QStringLiteral("favoris.html")), fichierChromium);
    QCOMPARE(lire(QStringLiteral("favoris.html"), TypeSource::Chromium),
             QStringList({QStringLiteral("Autres favoris|O|http://o.example/"),
                          QStringLiteral("Barre de favoris|Ex/a <i>|http://e.example/"),
                          QStringLiteral("Barre de favoris\\Sous|http://sans-nom.example/|"
                                         "http://sans-nom.example/"),
                          QStringLiteral("Favoris sur mobile|M|http://m.example/")}));
    QCOMPARE(lireSource(hote(QStringLiteral("favoris.html"))).liens.at(1).date, 1655526400);
}

void TestBookmarkSources::unreadableFiles_data()
{
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<QString>("message");
    const QString endommage = QStringLiteral("est endommagé ou incomplet");
    const QString inconnu = QStringLiteral("n'est pas un fichier de favoris reconnu");

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
    QTest::newRow("Netscape cut short") << html.left(html.size() / 2) << endommage;
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
        << "{\"roots\": " + QByteArray(5000, '[') + QByteArray(5000, ']') + '}' << endommage;
    QTest::newRow("places.sqlite cut short") << sqlite.left(2 * 4096) << endommage;
    QTest::newRow("places.sqlite damaged") << abimee << endommage;
    {
        Places autre(hote(QStringLiteral("autre.sqlite")), {"CREATE TABLE t (x)"});
    }
    QTest::newRow("SQLite of another program")
        << support::readFile(hote(QStringLiteral("autre.sqlite"))) << inconnu;
    QTest::newRow("empty file") << QByteArray() << inconnu;
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
    }
    try {
        lireSource(fichier);
        QFAIL("no error");
    } catch (const ErreurSource &erreur) {
        QVERIFY2(erreur.message().contains(QStringLiteral("« %1 » ").arg(fichier)) &&
                     erreur.message().contains(message),
                 qPrintable(erreur.message()));
    }
}

// Nesting thousands deep makes HTML tree building slow: the parse is given up within its time
// budget. A parse that needs more memory than allowed is given up too.
void TestBookmarkSources::parserBounds()
{
    const QByteArray profond = "<!DOCTYPE NETSCAPE-Bookmark-file-1>" +
                               QByteArray("<DL><p>").repeated(20000) +
                               QByteArray("</DL><p>").repeated(20000);
    QByteArray large = "<DL>";
    for (int i = 0; i < 20000; ++i)
        large += "<DT><A HREF=\"http://x/\">x</A>\n";
    large += "</DL>";
    QVERIFY_THROWS_EXCEPTION(ErreurSource,
                             analyserNetscape(profond, QStringLiteral("p"), 1 << 30, 200));
    QVERIFY_THROWS_EXCEPTION(ErreurSource,
                             analyserNetscape(large, QStringLiteral("l"), 1 << 20, 60000));
    QCOMPARE(analyserNetscape(large, QStringLiteral("l"), 1 << 30, 60000).size(), 20000);
}

QTEST_GUILESS_MAIN(TestBookmarkSources)
#include "test_bookmark_sources.moc"
