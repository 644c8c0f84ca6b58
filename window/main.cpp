#include "window/form1.h"
#include "window/traduction_qt.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installerTraductionQt();
    QApplication::setApplicationName(QStringLiteral("Signetor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Signetor"));
    Form1 form;
    form.show();
    return QApplication::exec();
}
