// Failures on the way to the page file: a folder that cannot be written, a full disk, an I/O
// error, a preview file that cannot be deleted. Each ends in the run-time error of its kind,
// and a page file that existed keeps its former content whole.

#include "browser/api.h"
#include "page/page_builder.h"
#include "page/page_file.h"
#include "platform/fault_injection.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#ifdef SIGNETOR_WITH_WINDOW
#include "window_fixture.h"

#include <QCheckBox>
#endif

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>

using platform::FaultPoint;
using platform::RuntimeError;

namespace
{

const QByteArray formerPage = "<html>\r\nla page d'avant\r\n</html>\r\n";
const QString formerStartPage = QStringLiteral("\\ancienne\\demarrage.html");

// A favourites tree and a folder for the page, both below one temporary root.
struct Workspace {
    QTemporaryDir root;
    QString favourites = root.filePath(QStringLiteral("Favoris"));
    QString pages = root.filePath(QStringLiteral("Pages"));

    Workspace()
    {
        support::writeFile(favourites + QStringLiteral("/Accueil.url"),
                           support::shortcut("http://example.org/"));
        support::writeFile(favourites + QStringLiteral("/Outils/Recherche.url"),
                           support::shortcut("http://example.org/recherche"));
        support::writeFile(favourites + QStringLiteral("/Outils/Web/Html.url"),
                           support::shortcut("http://example.org/html"));
        QDir().mkpath(pages);
    }
    QString page() const { return pages + QStringLiteral("/page.html"); }
    QString pageInProgramForm() const { return platform::toProgramPath(page()); }
    QStringList pageFolder() const
    {
        return QDir(pages).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

// Runs the page write in a child process, after prepare has changed what the child may do;
// gives the number of the run-time error it raised, 0 when none, -1 when the child broke.
int errorNumberInChild(const std::function<bool()> &prepare, const Workspace &w)
{
    const pid_t child = fork();
    if (child == 0) {
        if (!prepare())
            _exit(255);
        try {
            const QString favourites = support::programFolder(w.favourites);
            Ecrire_Page(w.pageInProgramForm(), Construire_Page(favourites, PageOptions()));
        } catch (const RuntimeError &error) {
            _exit(error.number());
        }
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool giveUpRoot()
{
    const uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
}

// Files may grow to half a kilobyte, far less than any page: longer writes fail as on a full
// disk.
bool capFileSize()
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{512, 512};
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

CliRun runCli(const QStringList &arguments, const QString &fault,
              const QString &outputFile = QString())
{
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SIGNETOR_FAULT"), fault);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SIGNETOR_CLI), arguments);
    CliRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString expectedMessage(int number)
{
    return RuntimeError(number).message();
}

} // namespace

class TestFaultInjection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void realFaultsKeepFormerPage_data();
    void realFaultsKeepFormerPage();
    void cliReportsFaultAndExitsWithOne_data();
    void cliReportsFaultAndExitsWithOne();
    void cliStandardOutputOnFullDevice();
#ifdef SIGNETOR_WITH_WINDOW
    void windowReportsFaultThenEnds_data();
    void windowReportsFaultThenEnds();
    void undeletablePreview_data();
    void undeletablePreview();
#endif
};

void TestFaultInjection::init()
{
    platform::clearFaults();
    Ecrire_Page_Demarrage(formerStartPage);
}

void TestFaultInjection::cleanup()
{
    platform::clearFaults();
}

void TestFaultInjection::realFaultsKeepFormerPage_data()
{
    QTest::addColumn<bool>("pageExists");
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<int>("number");

    QTest::newRow("unwritable folder, page exists") << true << false << 70;
    QTest::newRow("unwritable folder, new page") << false << false << 70;
    QTest::newRow("disk full, page exists") << true << true << 61;
    QTest::newRow("disk full, new page") << false << true << 61;
}

// Faults made by the host itself, not by the hook: permission bits (for root, in a child
// that has become an ordinary user) and a cap on file sizes.
void TestFaultInjection::realFaultsKeepFormerPage()
{
    QFETCH(bool, pageExists);
    QFETCH(bool, folderWritable);
    QFETCH(int, number);

    Workspace w;
    if (pageExists)
        support::writeFile(w.page(), formerPage);
    const QStringList before = w.pageFolder();
    const QByteArray rootPath = QFile::encodeName(w.root.path());
    const QByteArray pagesPath = QFile::encodeName(w.pages);

    std::function<bool()> prepare = capFileSize;
    if (!folderWritable && geteuid() == 0) {
        QCOMPARE(chmod(rootPath.constData(), 0755), 0);
        prepare = giveUpRoot;
    } else if (!folderWritable) {
        QCOMPARE(chmod(pagesPath.constData(), 0555), 0);
        prepare = [] { return true; };
    }
    const int raised = errorNumberInChild(prepare, w);
    chmod(pagesPath.constData(), 0755);

    QCOMPARE(raised, number);
    QCOMPARE(w.pageFolder(), before);
    if (pageExists)
        QCOMPARE(support::readFile(w.page()), formerPage);
}

void TestFaultInjection::cliReportsFaultAndExitsWithOne_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("number");

    QTest::newRow("unwritable folder") << QStringLiteral("open=EACCES") << 70;
    QTest::newRow("disk full while writing") << QStringLiteral("write=ENOSPC") << 61;
    QTest::newRow("I/O error at commit") << QStringLiteral("commit=EIO") << 57;
}

// The message on standard error is the run-time error's, exactly; nothing else is touched,
// not even the start page that was asked for.
void TestFaultInjection::cliReportsFaultAndExitsWithOne()
{
    QFETCH(QString, fault);
    QFETCH(int, number);

    Workspace w;
    support::writeFile(w.page(), formerPage);
    const CliRun run = runCli({QStringLiteral("--page-demarrage"), w.favourites, w.page()}, fault);

    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, expectedMessage(number) + QLatin1Char('\n'));
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(w.pageFolder(), QStringList(QStringLiteral("page.html")));
    QCOMPARE(support::readFile(w.page()), formerPage);
    QCOMPARE(Lire_Page_Demarrage(), formerStartPage);

    // Without the fault the same command writes the page.
    QCOMPARE(runCli({w.favourites, w.page()}, QString()).exitCode, 0);
    QVERIFY(support::readFile(w.page()).startsWith("<html>\r\n<head>\r\n"));
}

// "-" sends the page to standard output; a device that is always full refuses it.
void TestFaultInjection::cliStandardOutputOnFullDevice()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("this host has no /dev/full");
    Workspace w;
    const CliRun run =
        runCli({w.favourites, QStringLiteral("-")}, QString(), QStringLiteral("/dev/full"));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, expectedMessage(RuntimeError::DiskFull) + QLatin1Char('\n'));
}

#ifdef SIGNETOR_WITH_WINDOW

void TestFaultInjection::windowReportsFaultThenEnds_data()
{
    QTest::addColumn<bool>("preview");
    QTest::addColumn<int>("point");
    QTest::addColumn<int>("errnoValue");
    QTest::addColumn<int>("number");

    QTest::newRow("save, unwritable folder")
        << false << int(FaultPoint::OpenForWrite) << EACCES << 70;
    QTest::newRow("save, I/O error") << false << int(FaultPoint::Commit) << EIO << 57;
    QTest::newRow("preview, disk full") << true << int(FaultPoint::Write) << ENOSPC << 61;
}

// The run-time error's message box, then the end with status 1; the file keeps its content,
// the start page is not registered and no browser is opened.
void TestFaultInjection::windowReportsFaultThenEnds()
{
    QFETCH(bool, preview);
    QFETCH(int, point);
    QFETCH(int, errnoValue);
    QFETCH(int, number);

    WindowFixture f;
    const QString target = preview ? f.previewHost() : f.host(QStringLiteral("page.html"));
    support::writeFile(target, formerPage);
    Form1 &form = f.open();
    form.Chk_Demarrage->setChecked(true);
    f.answers << MSComDlg::DialogAnswer::file(platform::toProgramPath(target));

    platform::injectFault(FaultPoint(point), errnoValue);
    if (preview)
        form.Cmd_Shell_IE_Click();
    else
        form.Cmd_Recherche_Fichier_Click();

    QVERIFY(!f.boxes.isEmpty());
    QCOMPARE(f.boxes.size(), preview ? 1 : 2); // the save asks first whether to overwrite
    QCOMPARE(f.boxes.last().prompt, expectedMessage(number));
    QVERIFY(f.boxes.last().title.isEmpty());
    QCOMPARE(f.endings, QList<int>{1});
    QCOMPARE(support::readFile(target), formerPage);
    QCOMPARE(QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QFileInfo(target).fileName()));
    QCOMPARE(Lire_Page_Demarrage(), formerStartPage);
    QVERIFY(f.shells.isEmpty());
}

void TestFaultInjection::undeletablePreview_data()
{
    QTest::addColumn<bool>("closing");
    QTest::newRow("save command") << false;
    QTest::newRow("closing the window") << true;
}

// The save command deletes the preview before anything else: when that fails it stops there,
// before its dialog. Closing the window reports the same error and ends all the same.
void TestFaultInjection::undeletablePreview()
{
    QFETCH(bool, closing);

    WindowFixture f;
    support::writeFile(f.previewHost(), formerPage);
    Form1 &form = f.open();
    f.answers << MSComDlg::DialogAnswer::file(f.program(QStringLiteral("page.html")));

    platform::injectFault(FaultPoint::Delete, EBUSY);
    if (closing)
        form.Cmd_Quitter_Click();
    else
        form.Cmd_Recherche_Fichier_Click();

    QCOMPARE(f.boxes.size(), 1);
    QCOMPARE(f.boxes.first().prompt, expectedMessage(RuntimeError::PermissionDenied));
    QCOMPARE(f.endings, QList<int>{1});
    QVERIFY(f.dialogs.isEmpty());
    QVERIFY(!QFile::exists(f.host(QStringLiteral("page.html"))));
    QCOMPARE(support::readFile(f.previewHost()), formerPage);
}

#endif

#ifdef SIGNETOR_WITH_WINDOW
QTEST_MAIN(TestFaultInjection)
#else
QTEST_GUILESS_MAIN(TestFaultInjection)
#endif
#include "test_fault_injection.moc"
