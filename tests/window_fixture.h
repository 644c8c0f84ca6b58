#pragma once

// A main window over a temporary folder that serves as program folder and holds a favourites
// tree, with every seam to the desktop replaced: dialogs answer from a script, message boxes
// and document openings are recorded, and the program's end is only noted.

#include "test_support.h"

#include "platform/paths.h"
#include "window/form1.h"
#include "window/seams.h"

#include <QTemporaryDir>

using MSComDlg::DialogAnswer;

class WindowFixture
{
public:
    WindowFixture()
    {
        for (const QString &name : {QStringLiteral("accueil"), QStringLiteral("Moteurs/recherche")})
            support::writeFile(host(QStringLiteral("Favoris/%1.url").arg(name)),
                               support::shortcut("http://example.org/" + name.toLatin1()));
        // A message box is noted, then answered.
        seams::setMsgBoxHandler([this](const auto &call) { return boxes << call, boxAnswer; });
        seams::setShellExecuteHandler([this](const auto &call) { shells << call; });
        seams::setTerminateHandler([this](int status) { endings << status; });
    }

    ~WindowFixture()
    {
        seams::setMsgBoxHandler({});
        seams::setShellExecuteHandler({});
        seams::setTerminateHandler({});
    }

    // A fresh window on the temporary folders. A colour dialog is noted as its colour, a file
    // dialog as its kind (0 open, 1 save; 2 is colour), title, file name, folder and filter
    // index joined by "|".
    Form1 &open()
    {
        form.emplace(programFolder);
        form->Chemin_Favoris = program(QStringLiteral("Favoris/"));
        form->CommonDialog.setBackend([this](auto kind, const auto &d) {
            const QStringList file{QString::number(int(kind)), d.DialogTitle, d.FileName, d.InitDir,
                                   QString::number(d.FilterIndex)};
            dialogs << (int(kind) == 2 ? QString::number(d.Color) : file.join(u'|'));
            return answers.isEmpty() ? DialogAnswer::cancel() : answers.takeFirst();
        });
        return *form;
    }

    // A host path below the temporary root, and the same in program form.
    QString host(const QString &path) const { return root.filePath(path); }
    QString program(const QString &path) const { return platform::toProgramPath(host(path)); }
    QString previewHost() const { return host(QStringLiteral("TEMP.HTML")); }

    QTemporaryDir root;
    QString programFolder = platform::toProgramPath(root.path()); // no final "\"
    std::optional<Form1> form;                                    // destroyed before the folder
    QList<DialogAnswer> answers;
    QStringList dialogs;
    QList<seams::MsgBoxCall> boxes;
    int boxAnswer = 1; // to every message box
    QList<seams::ShellExecuteCall> shells;
    QList<int> endings;
};
