#include "window/seams.h"

#include "platform/file_system.h"
#include "platform/paths.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>

#include <vector>

namespace seams
{

namespace
{

// The message box's answers, numbered as the standard message box numbers them.
struct Answer {
    QMessageBox::StandardButton button;
    int code;
};
const Answer ok{QMessageBox::Ok, 1}, cancel{QMessageBox::Cancel, 2}, abort{QMessageBox::Abort, 3},
    retry{QMessageBox::Retry, 4}, ignore{QMessageBox::Ignore, 5}, yes{QMessageBox::Yes, 6},
    no{QMessageBox::No, 7};

// The buttons of the low three bits of a style, left to right.
std::vector<Answer> buttonsOf(int style)
{
    switch (style & 7) {
    case 1:
        return {ok, cancel};
    case 2:
        return {abort, retry, ignore};
    case 3:
        return {yes, no, cancel};
    case 4:
        return {yes, no};
    case 5:
        return {retry, cancel};
    default:
        return {ok};
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int showMessageBox(const MsgBoxCall &call)
{
    const QString title = call.title.isEmpty() ? QStringLiteral("Signetor") : call.title;
    QMessageBox box(iconOf(call.style), title, call.prompt, QMessageBox::NoButton, call.owner);
    const std::vector<Answer> answers = buttonsOf(call.style);
    for (const Answer &a : answers)
        box.addButton(a.button);
    const std::size_t defaultIndex = std::size_t((call.style >> 8) & 3);
    if (defaultIndex < answers.size())
        box.setDefaultButton(answers[defaultIndex].button);
    const int clicked = box.exec();
    for (const Answer &a : answers) {
        if (a.button == clicked)
            return a.code;
    }
    return cancel.code;
}

void openWithDesktop(const ShellExecuteCall &call)
{
    const QUrl url = documentUrl(call.file);
    if (url.isValid() && !url.isEmpty())
        QDesktopServices::openUrl(url);
}

void leaveEventLoop(int status)
{
    // Closing the last window would otherwise end the loop again, with status 0.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::exit(status);
}

ShellExecuteHandler &shellExecuteHandler()
{
    static ShellExecuteHandler handler;
    return handler;
}

MsgBoxHandler &msgBoxHandler()
{
    static MsgBoxHandler handler;
    return handler;
}

TerminateHandler &terminateHandler()
{
    static TerminateHandler handler;
    return handler;
}

} // namespace

QUrl documentUrl(const QString &file)
{
    static const QRegularExpression mailto(QStringLiteral("^mailto:\\s*"),
                                           QRegularExpression::CaseInsensitiveOption);
    // Two letters at least before the colon: "C:" is a drive, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (const auto m = mailto.match(file); m.hasMatch())
        return QUrl(QStringLiteral("mailto:") + file.mid(m.capturedLength()));
    if (scheme.match(file).hasMatch())
        return QUrl(file);
    // A file that the program folder's per-user store holds is opened from there.
    const auto host = platform::toHostPath(platform::effectiveFilePath(file));
    return host ? QUrl::fromLocalFile(*host) : QUrl();
}

void ShellExecuteA(const ShellExecuteCall &call)
{
    if (shellExecuteHandler())
        shellExecuteHandler()(call);
    else
        openWithDesktop(call);
}

void setShellExecuteHandler(ShellExecuteHandler handler)
{
    shellExecuteHandler() = std::move(handler);
}

int MsgBox(const MsgBoxCall &call)
{
    return msgBoxHandler() ? msgBoxHandler()(call) : showMessageBox(call);
}

void setMsgBoxHandler(MsgBoxHandler handler)
{
    msgBoxHandler() = std::move(handler);
}

void Terminate(int status)
{
    if (terminateHandler())
        terminateHandler()(status);
    else
        leaveEventLoop(status);
}

void setTerminateHandler(TerminateHandler handler)
{
    terminateHandler() = std::move(handler);
}

} // namespace seams
