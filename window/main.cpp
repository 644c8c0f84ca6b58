#include "window/form1.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Signetor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Signetor"));
    Form1 form;
    form.show();
    return QApplication::exec();
}
