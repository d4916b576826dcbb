// Tavrin: a front-end for BBC Micro and Acorn Electron emulators.

#include "windows/Form1.h"
#include "windows/FrmSplash.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    // Every relative name is resolved against the application folder.
    QDir::setCurrent(QApplication::applicationDirPath());

    tavrin::Form1 form1;
    form1.f.sAppPath = QApplication::applicationDirPath().toStdString();
    tavrin::FrmSplash frmSplash(form1);
    if (!frmSplash.load())
        return 1;
    return app.exec();
}
