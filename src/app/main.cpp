#include "Main.h"
#include "Application.h"
#include "Icons.h"
#include "Options.h"

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setWindowIcon(OrvaneIcon(QStringLiteral("orvane")));

    Tform_Main form_Main;
    Tfrm_Options options(&form_Main);
    if (argc > 1)
        form_Main.OpenScript(QString::fromLocal8Bit(argv[1]));
    form_Main.show();
    return app.exec();
}
