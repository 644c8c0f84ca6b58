#include "window/info.h"
#include "window/seams.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <functional>

namespace
{

QLabel *label(const QWidget &window, const char *name)
{
    return window.findChild<QLabel *>(QLatin1String(name));
}

QPushButton *button(const QWidget &window, const char *name)
{
    return window.findChild<QPushButton *>(QLatin1String(name));
}

int twips(const QWidget &window, int value)
{
    return qRound(value / 15.0 * window.logicalDpiY() / 96.0);
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

// Runs the window modally and does `action` from inside its event loop. If the window is
// still open afterwards it is closed, so that a fault never leaves the test waiting.
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
        QVERIFY(info.isModal());
    }

    void controls_haveTheirTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("close") << "Cmd_Close"
                               << "Fermer";
        QTest::newRow("help") << "Cmd_Help"
                              << "Aide";
        QTest::newRow("sentence") << "Label1_0"
                                  << "Pour toutes remarques ou informations sur cet utilitaire,";
        QTest::newRow("mail prompt") << "Label1_1" << QString::fromUtf8("contactez nous à :");
        QTest::newRow("web prompt") << "Label1_2"
                                    << "Page WEB :";
        QTest::newRow("mail") << "Lbl_email"
                              << "signetor@example.org";
        QTest::newRow("web") << "Lbl_Web"
                             << "https://signetor.example.org/";
    }
    void controls_haveTheirTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        Info info;
        auto *control = info.findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        const QVariant shown = control->property("text");
        QCOMPARE(shown.toString(), text);
    }

    void productAndNoticeLines_sayWhatAndWho()
    {
        Info info;
        const QString product = label(info, "Label1_3")->text();
        QVERIFY(product.startsWith(QStringLiteral("Signetor")));
        QVERIFY(product.contains(QString::fromUtf8("L'équipe Signetor")));
        QVERIFY(product.contains(QRegularExpression(QStringLiteral("\\b20\\d\\d\\b"))));
        QVERIFY(!label(info, "Label1_4")->text().isEmpty());
    }

    void controls_sitWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twipsRect");
        QTest::addColumn<bool>("mayGrow");
        QTest::newRow("close") << "Cmd_Close"
                               << "" << QRect(3660, 3000, 1215, 375) << false;
        QTest::newRow("help") << "Cmd_Help"
                              << "" << QRect(2280, 3000, 1215, 375) << false;
        QTest::newRow("frame1") << "Frame1"
                                << "" << QRect(165, 120, 4695, 2655) << false;
        QTest::newRow("frame2") << "Frame2"
                                << "Frame1" << QRect(720, 240, 3255, 615) << false;
        QTest::newRow("product") << "Label1_3"
                                 << "Frame2" << QRect(240, 270, 2775, 255) << false;
        QTest::newRow("sentence") << "Label1_0"
                                  << "Frame1" << QRect(240, 1080, 4095, 255) << false;
        QTest::newRow("mail prompt") << "Label1_1"
                                     << "Frame1" << QRect(240, 1320, 1335, 255) << false;
        QTest::newRow("web prompt") << "Label1_2"
                                    << "Frame1" << QRect(680, 1680, 975, 255) << false;
        QTest::newRow("notice") << "Label1_4"
                                << "Frame1" << QRect(240, 2160, 4215, 255) << false;
        QTest::newRow("mail") << "Lbl_email"
                              << "Frame1" << QRect(1600, 1320, 1215, 255) << true;
        QTest::newRow("web") << "Lbl_Web"
                             << "Frame1" << QRect(1605, 1680, 2535, 255) << true;
    }
    void controls_sitWhereTheLayoutPutsThem()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twipsRect);
        QFETCH(bool, mayGrow);
        Info info;
        auto *control = info.findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        const QWidget *expectedParent =
            container.isEmpty() ? &info : info.findChild<QWidget *>(container);
        QCOMPARE(control->parentWidget(), expectedParent);

        const QRect at = control->geometry();
        QCOMPARE(at.topLeft(), QPoint(twips(info, twipsRect.x()), twips(info, twipsRect.y())));
        QCOMPARE(at.height(), twips(info, twipsRect.height()));
        if (mayGrow) {
            QVERIFY(at.width() >= twips(info, twipsRect.width()));
            QVERIFY(at.right() < expectedParent->width());
        } else {
            QCOMPARE(at.width(), twips(info, twipsRect.width()));
        }
    }

    void labels_showTheirWholeText()
    {
        Info info;
        for (const QLabel *l : info.findChildren<QLabel *>()) {
            const int needed = l->fontMetrics().horizontalAdvance(l->text());
            QVERIFY2(needed <= l->width(), qPrintable(l->objectName()));
        }
    }

    void labels_haveTheirLooks()
    {
        Info info;
        const QLabel *product = label(info, "Label1_3");
        QVERIFY(product->font().bold());
        QVERIFY(product->alignment() & Qt::AlignHCenter);

        const QLabel *notice = label(info, "Label1_4");
        QCOMPARE(notice->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(notice->alignment() & Qt::AlignHCenter);
        QVERIFY(!notice->font().bold());

        for (const char *name : {"Lbl_email", "Lbl_Web"}) {
            const QLabel *link = label(info, name);
            QVERIFY2(link->font().underline(), name);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        }
        for (const char *name : {"Label1_0", "Label1_1", "Label1_2"}) {
            QVERIFY2(!label(info, name)->font().bold(), name);
            QVERIFY2(!label(info, name)->font().underline(), name);
        }
        // Every text shares the window's one font family and size.
        QCOMPARE(product->font().pointSizeF(), info.font().pointSizeF());
        QCOMPARE(notice->font().family(), info.font().family());
    }

    void fermer_isTheDefaultFocusedFirstButton()
    {
        Info info;
        QPushButton *close = button(info, "Cmd_Close");
        QVERIFY(close->isDefault());
        openAfter(info, [&] {
            QCOMPARE(QApplication::focusWidget(), close);
            QCOMPARE(close->nextInFocusChain(), button(info, "Cmd_Help"));
        });
    }

    void keys_closeTheWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("focusOnAide");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << false << true;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << false << true;
        QTest::newRow("Esc from Aide") << int(Qt::Key_Escape) << true << true;
        QTest::newRow("Enter on Aide") << int(Qt::Key_Return) << true << false;
    }
    void keys_closeTheWindow()
    {
        QFETCH(int, key);
        QFETCH(bool, focusOnAide);
        QFETCH(bool, closes);
        Info info;
        const bool leftOpen = openAfter(info, [&] {
            if (focusOnAide)
                button(info, "Cmd_Help")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        QCOMPARE(leftOpen, !closes);
        QVERIFY(shellCalls.isEmpty());
    }

    void buttons_fermerClosesAndAideDoesNothing()
    {
        Info info;
        QVERIFY(!openAfter(info,
                           [&] { QTest::mouseClick(button(info, "Cmd_Close"), Qt::LeftButton); }));

        Info again;
        QVERIFY(openAfter(again,
                          [&] { QTest::mouseClick(button(again, "Cmd_Help"), Qt::LeftButton); }));
        QVERIFY(shellCalls.isEmpty());
    }

    void closeBox_closesTheWindow()
    {
        Info info;
        QVERIFY(!openAfter(info, [&] { info.close(); }));
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
        auto *link = info.findChild<QLabel *>(name);
        const bool leftOpen = openAfter(info, [&] { QTest::mouseClick(link, Qt::LeftButton); });

        QVERIFY2(leftOpen, "a link must leave the window open");
        QCOMPARE(shellCalls.size(), 1);
        const seams::ShellExecuteCall &call = shellCalls.first();
        QCOMPARE(call.owner, &info);
        QCOMPARE(call.operation, QStringLiteral("Open"));
        QCOMPARE(call.file, file);
        QVERIFY(call.parameters.isEmpty());
        QVERIFY(call.directory.isEmpty());
        QCOMPARE(call.showCommand, 3);
    }

    void links_ignoreOtherButtonsAndReleasesOutside()
    {
        Info info;
        QLabel *mail = label(info, "Lbl_email");
        openAfter(info, [&] {
            QTest::mouseClick(mail, Qt::RightButton);
            QTest::mousePress(mail, Qt::LeftButton);
            QTest::mouseRelease(mail, Qt::LeftButton, {}, QPoint(-5, -5));
            QTest::mouseClick(label(info, "Label1_1"), Qt::LeftButton);
        });
        QVERIFY(shellCalls.isEmpty());
    }

    void window_isModalOverItsOwnerWhileOpen()
    {
        QWidget owner;
        owner.resize(200, 100);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        Info info(&owner);
        bool sawModal = false;
        openAfter(info, [&] {
            sawModal = QApplication::activeModalWidget() == &info &&
                       info.windowModality() != Qt::NonModal && info.isVisible();
        });
        QVERIFY(sawModal);
        QCOMPARE(info.parentWidget(), &owner);
        QVERIFY(!info.isVisible());
    }

    void icons_areInTheResources()
    {
        for (int size : {16, 32}) {
            const QImage image(QStringLiteral(":/icons/signetor-%1.png").arg(size));
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());
        }
        QFile svg(QStringLiteral(":/icons/signetor.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("<svg"));
    }

    void openingAgain_showsTheSameTexts()
    {
        QStringList first;
        {
            Info info;
            first = shownTexts(info);
            openAfter(info, [&] { QTest::keyClick(&info, Qt::Key_Escape); });
        }
        Info info;
        QCOMPARE(shownTexts(info), first);
    }
};

QTEST_MAIN(TestInfo)
#include "test_info.moc"
