#include "window/form1.h"
#include "window/lancement.h"
#include "window/traduction_qt.h"

#include <QApplication>

int main(int argc, char **argv)
{
    if (const std::optional<int> fin = repondreSansFenetre(argc, argv))
        return *fin;
    GardeAffichage garde;
    QApplication app(argc, argv);
    garde.lever();
    installerTraductionQt();
    QApplication::setApplicationName(QStringLiteral("Signetor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Signetor"));
    Form1 form;
    form.show();
    return QApplication::exec();
}
