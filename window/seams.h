#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// The window reaches the desktop only through these seams, so that tests can replace them:
// they never block on a modal box and never launch a browser.
namespace seams
{

// Opens a file (program form) or an address ("mailto: ...", "http://...") with the desktop's
// handler. The default goes through QDesktopServices; its result is not examined.
struct ShellExecuteCall {
    QWidget *owner = nullptr;
    QString operation;
    QString file;
    QString parameters;
    QString directory;
    int showCommand = 0;
};
using ShellExecuteHandler = std::function<void(const ShellExecuteCall &)>;
void ShellExecuteA(const ShellExecuteCall &call);
void setShellExecuteHandler(ShellExecuteHandler handler); // an empty handler restores the default

// The standard message box. Style 33 is OK and Cancel with a question icon, OK the default.
// The answer is 1 for OK, 2 for Cancel (also when the box is closed without a choice).
struct MsgBoxCall {
    QWidget *owner = nullptr;
    QString prompt;
    int style = 0;
    QString title; // empty: the application's title, "Signetor"
};
using MsgBoxHandler = std::function<int(const MsgBoxCall &)>;
int MsgBox(const MsgBoxCall &call);
void setMsgBoxHandler(MsgBoxHandler handler);

// Ends the program with this exit status after a run-time error. The default leaves the
// event loop with the status; the window's own closing does not change it.
using TerminateHandler = std::function<void(int status)>;
void Terminate(int status);
void setTerminateHandler(TerminateHandler handler);

// The address that the default document handler opens for a file or address as passed to
// ShellExecuteA: a local file URL for a path (where the file really lies, see
// platform::effectiveFilePath), "mailto:x" for "mailto: x"; an empty URL when the path names
// nothing on this host.
QUrl documentUrl(const QString &file);

} // namespace seams
