// Failures on the way to the page file: a missing or unwritable folder, a full disk, an I/O
// error, a preview file that cannot be deleted. Through signetor-cli and through the window,
// each ends in the run-time error of its kind, and the page that existed keeps its former
// content whole.

#include "browser/api.h"
#include "platform/fault_injection.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#ifdef SIGNETOR_WITH_WINDOW
#include "window_fixture.h"

#include <QGuiApplication>
#endif

#include <QProcess>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace
{
const QByteArray formerPage = "<html>\r\nla page d'avant\r\n</html>\r\n";
// The hooked fault points, in the order of FaultPoint, and two faults made by the host: the
// page's folder is missing, files may not grow past 512 bytes (any page is longer).
constexpr int onOpen = 0, onWrite = 1, onCommit = 2, onDelete = 3, missingFolder = -1, sizeCap = -2;
constexpr int cli = 0, save = 1, preview = 2;

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}
} // namespace

class TestFaultInjection : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_page = m_root.filePath(QStringLiteral("page.html")); // in the favourites folder

    QString pageFor(int point) const
    {
        return point == missingFolder ? m_page + QStringLiteral(".d/p.html") : m_page;
    }

    // Runs signetor-cli under the fault; gives its standard error when it ends with status 1.
    QString cliErrors(int point, int errnoValue)
    {
        const QByteArray hook = QByteArrayList{"open", "write", "commit", "delete"}.value(point);
        // Only the child reads it: this process read its own at the first clearFaults().
        qputenv("SIGNETOR_FAULT", point < 0 ? hook : hook + '=' + QByteArray::number(errnoValue));
        QProcess process;
        if (point == sizeCap)
            process.setChildProcessModifier([] {
                const rlimit cap{512, 512};
                std::signal(SIGXFSZ, SIG_IGN);
                setrlimit(RLIMIT_FSIZE, &cap);
            });
        process.start(QStringLiteral(SIGNETOR_CLI),
                      {QStringLiteral("--page-demarrage"), m_root.path(), pageFor(point)});
        const bool failed = process.waitForFinished(120000) && process.exitCode() == 1;
        return failed ? QString::fromUtf8(process.readAllStandardError()).chopped(1) : QString();
    }

    // The message box, then the end with status 1; no browser opens, the pointer is as it
    // was, and a preview that cannot go stays whole and stops the save before its dialog.
    QString windowMessage(int via, int point, int errnoValue)
    {
#ifdef SIGNETOR_WITH_WINDOW
        WindowFixture f;
        support::writeFile(f.previewHost(), formerPage);
        Form1 &form = f.open();
        f.answers << DialogAnswer::file(platform::toProgramPath(m_page));
        platform::injectFault(platform::FaultPoint(point), errnoValue);
        QGuiApplication::setOverrideCursor(Qt::BusyCursor); // set outside: stays as it was
        via == save ? form.Cmd_Recherche_Fichier_Click() : form.Cmd_Shell_IE_Click();
        const bool cursorKept = QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor;
        QGuiApplication::restoreOverrideCursor();
        const bool ended =
            f.endings == QList<int>{1} && f.shells.isEmpty() && !f.boxes.isEmpty() && cursorKept;
        const bool previewKept = support::readFile(f.previewHost()) == formerPage;
        return ended && previewKept == f.dialogs.isEmpty() ? f.boxes.last().prompt : QString();
#else
        return QString::number(via + point + errnoValue); // no window rows in this build
#endif
    }

private Q_SLOTS:
    void init()
    {
        platform::clearFaults();
        Ecrire_Page_Demarrage(QStringLiteral("\\ancienne\\demarrage.html"));
        support::writeFile(m_page, formerPage);
    }

    void faultKeepsFormerPage_data()
    {
        QTest::addColumn<int>("via");
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("errnoValue");
        QTest::addColumn<int>("number");
        QTest::newRow("missing folder") << cli << missingFolder << 0 << 76;
        QTest::newRow("unwritable") << cli << onOpen << EACCES << 70;
        QTest::newRow("size cap") << cli << sizeCap << 0 << 61;
        QTest::newRow("I/O error") << cli << onCommit << EIO << 57;
#ifdef SIGNETOR_WITH_WINDOW
        QTest::newRow("save, unwritable") << save << onOpen << EACCES << 70;
        QTest::newRow("preview, disk full") << preview << onWrite << ENOSPC << 61;
        QTest::newRow("save, preview held") << save << onDelete << EBUSY << 70;
#endif
    }

    void faultKeepsFormerPage()
    {
        QFETCH(int, via);
        QFETCH(int, point);
        QFETCH(int, errnoValue);
        QFETCH(int, number);
        const platform::RuntimeError error(number);
        QCOMPARE(
            via == cli ? cliErrors(point, errnoValue) : windowMessage(via, point, errnoValue),
            via != cli
                ? error.message()
                : QStringLiteral("signetor-cli\u00a0: %1\u00a0: Erreur d'exécution '%2'\u00a0: %3")
                      .arg(pageFor(point), QString::number(number), error.description()));
        QCOMPARE(entries(m_root.path()), QStringList(QStringLiteral("page.html")));
        QCOMPARE(support::readFile(m_page), formerPage);
        QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("\\ancienne\\demarrage.html"));
    }

    void signalKeepsAWholePage_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QString>("source");
        const QString places = QStringLiteral(SIGNETOR_DATA "/browsers/firefox/places.sqlite");
        QTest::newRow("SIGTERM") << int(SIGTERM) << false << QString();
        QTest::newRow("SIGINT") << int(SIGINT) << false << QString();
        QTest::newRow("SIGHUP in place, run as nobody, whom a read-only folder stops")
            << int(SIGHUP) << true << QString();
        QTest::newRow("SIGTERM while copying places.sqlite") << int(SIGTERM) << false << places;
        QTest::newRow("SIGHUP while copying places.sqlite") << int(SIGHUP) << false << places;
    }

    // A termination signal in the middle of the write, or of the private copy of a
    // places.sqlite, ends signetor-cli by that signal, its temporary files gone, the page
    // whole: the former one; or, where the page is rewritten in place (its folder read-only),
    // the new one, finished first. The long title makes the page span several pieces.
    void signalKeepsAWholePage()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, inPlace);
        QFETCH(QString, source);
        const QByteArray root = QFile::encodeName(m_root.path());
        QVERIFY((chown(root + "/page.html", inPlace ? 65534 : 0, 0) == 0 || geteuid() != 0) &&
                chmod(root, inPlace ? 0555 : 0755) == 0);
        const auto restore = qScopeGuard([&] { chmod(root, 0700); });
        qputenv("SIGNETOR_FAULT", "signal=" + QByteArray::number(signalNumber));
        const bool asNobody = inPlace && geteuid() == 0;
        QStringList command{QStringLiteral(SIGNETOR_CLI), QStringLiteral("--titre"),
                            QString(100000, QLatin1Char('T')),
                            source.isEmpty() ? m_root.path() : source, m_page};
        if (asNobody) {
            command[0] = support::copyForNobody(command[0]);
            command =
                QStringLiteral("setpriv --reuid=65534 --regid=65534 --clear-groups").split(u' ') +
                command;
        }
        QTemporaryDir tmp;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tmp.path());
        process.setProcessEnvironment(environment);
        process.start(command.takeFirst(), command);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(std::make_pair(process.exitStatus(), process.exitCode()),
                 std::make_pair(QProcess::CrashExit, signalNumber));
        QCOMPARE(entries(m_root.path()) + entries(tmp.path()),
                 QStringList(QStringLiteral("page.html")));
        const QByteArray page = support::readFile(m_page);
        QVERIFY(inPlace ? page.size() > 100000 && page.endsWith("</html>\r\n")
                        : page == formerPage);
    }
};

QTEST_MAIN(TestFaultInjection)
#include "test_fault_injection.moc"
