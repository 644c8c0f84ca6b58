#include "window/info.h"
#include "window/seams.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace
{

int twips(const QWidget &window, int value)
{
    return qRound(value / 15.0 * window.logicalDpiY() / 96.0);
}

template <typename T = QWidget> T *control(const QWidget &window, const QString &name)
{
    return window.findChild<T *>(name);
}

QStringList shownTexts(const QWidget &window)
{
    QStringList texts{window.windowTitle()};
    for (const QLabel *l : window.findChildren<QLabel *>())
        texts << l->objectName() + QLatin1Char('=') + l->text();
    for (const QPushButton *b : window.findChildren<QPushButton *>())
        texts << b->objectName() + QLatin1Char('=') + b->text();
    texts.sort();
    return texts;
}

// Runs the window modally and does `action` from inside its event loop. A window still open
// afterwards is closed, so that a fault never leaves the test waiting. Returns whether it was.
bool openAfter(Info &info, const std::function<void()> &action)
{
    bool leftOpen = false;
    QTimer::singleShot(0, &info, [&] {
        if (!QTest::qWaitForWindowActive(&info))
            qWarning("the window never became active");
        action();
        leftOpen = info.isVisible();
        info.reject();
    });
    info.exec();
    return leftOpen;
}

enum Gesture {
    Esc,
    Enter,
    KeypadEnter,
    EscFromAide,
    EnterOnAide,
    ClickFermer,
    ClickAide,
    CloseBox
};

} // namespace

class TestInfo : public QObject
{
    Q_OBJECT

    QList<seams::ShellExecuteCall> shellCalls;

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(signetor); }
    void init()
    {
        shellCalls.clear();
        seams::setShellExecuteHandler(
            [this](const seams::ShellExecuteCall &call) { shellCalls.append(call); });
    }
    void cleanup() { seams::setShellExecuteHandler({}); }

    void window_hasItsCaptionAndFixedSize()
    {
        Info info;
        QCOMPARE(info.windowTitle(), QStringLiteral(" Signetor - Informations"));
        const QSize client(twips(info, 5025), twips(info, 3540));
        QCOMPARE(info.minimumSize(), client);
        QCOMPARE(info.maximumSize(), client);
    }

    void controls_haveTheirTextAndPlace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("at"); // in twips
        QTest::addColumn<QString>("text");
        const QString frame1 = QStringLiteral("Frame1");
        QTest::newRow("close") << "Cmd_Close"
                               << "" << QRect(3660, 3000, 1215, 375) << "Fermer";
        QTest::newRow("help") << "Cmd_Help"
                              << "" << QRect(2280, 3000, 1215, 375) << "Aide";
        QTest::newRow("frame1") << "Frame1"
                                << "" << QRect(165, 120, 4695, 2655) << "";
        QTest::newRow("frame2") << "Frame2" << frame1 << QRect(720, 240, 3255, 615) << "";
        QTest::newRow("product") << "Label1_3"
                                 << "Frame2" << QRect(240, 270, 2775, 255)
                                 << QString::fromUtf8("Signetor - L'équipe Signetor - 2026");
        QTest::newRow("sentence") << "Label1_0" << frame1 << QRect(240, 1080, 4095, 255)
                                  << "Pour toutes remarques ou informations sur cet utilitaire,";
        QTest::newRow("mail prompt") << "Label1_1" << frame1 << QRect(240, 1320, 1335, 255)
                                     << QString::fromUtf8("contactez nous à :");
        QTest::newRow("web prompt")
            << "Label1_2" << frame1 << QRect(680, 1680, 975, 255) << "Page WEB :";
        QTest::newRow("notice") << "Label1_4" << frame1 << QRect(240, 2160, 4215, 255)
                                << QString::fromUtf8("Ce programme est distribué gratuitement.");
        QTest::newRow("mail") << "Lbl_email" << frame1 << QRect(1600, 1320, 1215, 255)
                              << "signetor@example.org";
        QTest::newRow("web") << "Lbl_Web" << frame1 << QRect(1605, 1680, 2535, 255)
                             << "https://signetor.example.org/";
    }
    void controls_haveTheirTextAndPlace()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, at);
        QFETCH(QString, text);
        Info info;
        const QWidget *widget = control(info, name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->property("text").toString(), text);
        const QWidget *parent = container.isEmpty() ? &info : control(info, container);
        QCOMPARE(widget->parentWidget(), parent);

        const QRect shown = widget->geometry();
        QCOMPARE(shown.topLeft(), QPoint(twips(info, at.x()), twips(info, at.y())));
        QCOMPARE(shown.height(), twips(info, at.height()));
        // An address wider than its label in the desktop's font may run on, inside the frame.
        if (name.startsWith(QLatin1String("Lbl_")))
            QVERIFY(shown.width() >= twips(info, at.width()) && shown.right() < parent->width());
        else
            QCOMPARE(shown.width(), twips(info, at.width()));
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            QVERIFY(label->fontMetrics().horizontalAdvance(text) <= shown.width());
    }

    void labels_haveTheirLooks()
    {
        Info info;
        const QLabel *product = control<QLabel>(info, QStringLiteral("Label1_3"));
        QVERIFY(product->font().bold());
        QVERIFY(product->alignment() & Qt::AlignHCenter);
        QCOMPARE(product->font().pointSizeF(), info.font().pointSizeF());

        const QLabel *notice = control<QLabel>(info, QStringLiteral("Label1_4"));
        QCOMPARE(notice->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(notice->alignment() & Qt::AlignHCenter);
        QVERIFY(!notice->font().bold());

        for (const char *name : {"Lbl_email", "Lbl_Web"}) {
            const QLabel *link = control<QLabel>(info, QLatin1String(name));
            QVERIFY2(link->font().underline() && !link->font().bold(), name);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        }
        QVERIFY(!control<QLabel>(info, QStringLiteral("Label1_1"))->font().underline());
    }

    void gestures_closeOrNot_data()
    {
        QTest::addColumn<int>("gesture");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << int(Esc) << true;
        QTest::newRow("Enter") << int(Enter) << true;
        QTest::newRow("keypad Enter") << int(KeypadEnter) << true;
        QTest::newRow("Esc from Aide") << int(EscFromAide) << true;
        QTest::newRow("Enter on Aide") << int(EnterOnAide) << false;
        QTest::newRow("Fermer") << int(ClickFermer) << true;
        QTest::newRow("Aide") << int(ClickAide) << false;
        QTest::newRow("close box") << int(CloseBox) << true;
    }
    void gestures_closeOrNot()
    {
        QFETCH(int, gesture);
        QFETCH(bool, closes);
        Info info;
        auto *close = control<QPushButton>(info, QStringLiteral("Cmd_Close"));
        auto *help = control<QPushButton>(info, QStringLiteral("Cmd_Help"));
        QVERIFY(close->isDefault());
        bool startedOnFermer = false;
        const bool leftOpen = openAfter(info, [&] {
            startedOnFermer = QApplication::focusWidget() == close;
            if (gesture == EscFromAide || gesture == EnterOnAide)
                QTest::keyClick(close, Qt::Key_Tab);
            const auto press = [](Qt::Key key) {
                QTest::keyClick(QApplication::focusWidget(), key);
            };
            switch (Gesture(gesture)) {
            case Esc:
            case EscFromAide:
                return press(Qt::Key_Escape);
            case Enter:
            case EnterOnAide:
                return press(Qt::Key_Return);
            case KeypadEnter:
                return press(Qt::Key_Enter);
            case ClickFermer:
                return QTest::mouseClick(close, Qt::LeftButton);
            case ClickAide:
                return QTest::mouseClick(help, Qt::LeftButton);
            case CloseBox:
                info.close();
            }
        });
        QVERIFY(startedOnFermer);
        QCOMPARE(leftOpen, !closes);
        QVERIFY(shellCalls.isEmpty());
    }

    void links_handTheirTargetsToTheDesktop_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("mail") << "Lbl_email"
                              << "mailto: signetor@example.org";
        QTest::newRow("web") << "Lbl_Web"
                             << "https://signetor.example.org/";
    }
    void links_handTheirTargetsToTheDesktop()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        Info info;
        auto *link = control<QLabel>(info, name);
        QVERIFY2(openAfter(info, [&] { QTest::mouseClick(link, Qt::LeftButton); }),
                 "a link leaves the window open");
        QCOMPARE(shellCalls.size(), 1);
        const seams::ShellExecuteCall &call = shellCalls.first();
        QCOMPARE(call.owner, &info);
        QCOMPARE(call.operation, QStringLiteral("Open"));
        QCOMPARE(call.file, file);
        QVERIFY(call.parameters.isEmpty() && call.directory.isEmpty());
        QCOMPARE(call.showCommand, 3);
    }

    void links_ignoreOtherButtonsAndReleasesOutside()
    {
        Info info;
        auto *mail = control<QLabel>(info, QStringLiteral("Lbl_email"));
        openAfter(info, [&] {
            QTest::mouseClick(mail, Qt::RightButton);
            QTest::mousePress(mail, Qt::LeftButton);
            QTest::mouseRelease(mail, Qt::LeftButton, {}, QPoint(-5, -5));
            QTest::mouseClick(control(info, QStringLiteral("Label1_1")), Qt::LeftButton);
        });
        QVERIFY(shellCalls.isEmpty());
    }

    void window_isModalOverItsOwnerWhileOpen()
    {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        Info info(&owner);
        bool sawModal = false;
        openAfter(info, [&] {
            sawModal =
                QApplication::activeModalWidget() == &info && info.windowModality() != Qt::NonModal;
        });
        QVERIFY(sawModal);
        QCOMPARE(info.parentWidget(), &owner);
    }

    void openingAgain_showsTheSameTexts()
    {
        Info first;
        const QStringList texts = shownTexts(first);
        openAfter(first, [&] { QTest::keyClick(&first, Qt::Key_Escape); });
        Info second;
        QVERIFY(openAfter(second, [&] { QCOMPARE(shownTexts(second), texts); }));
    }

    void icons_areInTheResources()
    {
        for (int size : {16, 32}) {
            const QImage image(QStringLiteral(":/icons/signetor-%1.png").arg(size));
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());
        }
        QFile svg(QStringLiteral(":/icons/signetor.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly) && svg.readAll().contains("<svg"));
    }
};

QTEST_MAIN(TestInfo)
#include "test_info.moc"
