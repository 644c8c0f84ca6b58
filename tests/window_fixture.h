#pragma once

// A main window over a temporary program folder and favourites tree, with every seam to the
// desktop replaced: dialogs answer from a script, message boxes and document openings are
// recorded, and the program's end is only noted.

#include "test_support.h"

#include "platform/paths.h"
#include "window/common_dialog.h"
#include "window/form1.h"
#include "window/seams.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

struct SeenDialog {
    MSComDlg::DialogKind kind;
    QString title, filter, fileName, initDir;
    qint32 color;
    bool cancelError;
};

class WindowFixture
{
public:
    WindowFixture()
    {
        QDir().mkpath(host(QStringLiteral("prog")));
        support::writeFile(host(QStringLiteral("Favoris/Accueil.url")),
                           support::shortcut("http://example.org/accueil"));
        support::writeFile(host(QStringLiteral("Favoris/Moteurs/Recherche.url")),
                           support::shortcut("http://example.org/recherche"));
        programFolder = support::programFolder(host(QStringLiteral("prog")));
        programFolder.chop(1);
        favourites = support::programFolder(host(QStringLiteral("Favoris")));
        seams::setMsgBoxHandler([this](const seams::MsgBoxCall &call) {
            boxes << call;
            hourglassAtBox << (QGuiApplication::overrideCursor() != nullptr);
            return boxAnswer;
        });
        seams::setShellExecuteHandler([this](const seams::ShellExecuteCall &call) {
            shells << call;
            cursorAtShell = QGuiApplication::overrideCursor()
                                ? QGuiApplication::overrideCursor()->shape()
                                : Qt::ArrowCursor;
        });
        seams::setTerminateHandler([this](int status) { endings << status; });
    }

    ~WindowFixture()
    {
        form.reset();
        seams::setMsgBoxHandler({});
        seams::setShellExecuteHandler({});
        seams::setTerminateHandler({});
    }

    // A fresh window on the temporary folders, its favourites folder the temporary tree.
    Form1 &open()
    {
        form = std::make_unique<Form1>(programFolder);
        form->Chemin_Favoris = favourites;
        form->Txt[0]->setText(favourites);
        form->CommonDialog.setBackend(
            [this](MSComDlg::DialogKind kind, const MSComDlg::CommonDialog &d) {
                dialogs << SeenDialog{kind,      d.DialogTitle, d.Filter,     d.FileName,
                                      d.InitDir, d.Color,       d.CancelError};
                if (onDialog)
                    onDialog();
                return answers.isEmpty() ? MSComDlg::DialogAnswer::cancel() : answers.takeFirst();
            });
        return *form;
    }

    // A host path below the temporary root, and the same in program form.
    QString host(const QString &relative) const { return root.filePath(relative); }
    QString program(const QString &relative) const
    {
        return platform::toProgramPath(host(relative));
    }
    QString previewHost() const { return host(QStringLiteral("prog/TEMP.HTML")); }

    QTemporaryDir root;
    QString programFolder; // program form, no final "\"
    QString favourites;    // program form, final "\"
    std::unique_ptr<Form1> form;

    QList<MSComDlg::DialogAnswer> answers;
    QList<SeenDialog> dialogs;
    std::function<void()> onDialog;
    int boxAnswer = 1;
    QList<seams::MsgBoxCall> boxes;
    QList<bool> hourglassAtBox;
    QList<seams::ShellExecuteCall> shells;
    Qt::CursorShape cursorAtShell = Qt::ArrowCursor;
    QList<int> endings;
};
