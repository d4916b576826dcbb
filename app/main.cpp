// Tavrin: a front-end for BBC Micro and Acorn Electron emulators.

#include "core/ProgramFolders.h"
#include "windows/Form1.h"
#include "windows/FrmSplash.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <stdexcept>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    // Lets the desktop match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tavrin.Tavrin"));

    // The application folder: the program's own folder when it is portable,
    // a per-user folder (filled on first start) when it is installed. Every
    // relative name is resolved against it.
    std::filesystem::path appFolder;
    try {
        appFolder = tavrin::PrepareProgramFolders(
                        QFile::encodeName(QApplication::applicationDirPath()).toStdString(),
                        TAVRIN_VERSION)
                        .applicationFolder;
        std::filesystem::current_path(appFolder);
    } catch (const std::exception& e) {
        qCritical("tavrin: %s", e.what());
        QMessageBox::critical(nullptr, QStringLiteral("Tavrin"), QString::fromLocal8Bit(e.what()));
        return 1;
    }

    tavrin::Form1 form1;
    form1.f.sAppPath = appFolder.string();
    tavrin::FrmSplash frmSplash(form1);
    // Once the main window shows, a first start is offered the emulator set-up.
    QObject::connect(&frmSplash, &tavrin::FrmSplash::mainWindowShown, &form1,
                     &tavrin::Form1::offerEmulatorSetUp, Qt::QueuedConnection);
    if (!frmSplash.load())
        return 1;
    return app.exec();
}
