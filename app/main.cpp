// Tavrin: a front-end for BBC Micro and Acorn Electron emulators.

#include "core/ProgramFolders.h"
#include "windows/Form1.h"
#include "windows/FrmSplash.h"
#include "windows/GamelistCommand.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <iostream>
#include <stdexcept>
#include <string_view>

namespace {

// The application folder: the program's own folder when it is portable, a
// per-user folder (filled on first start) when it is installed. Every
// relative name is resolved against it, so it becomes the current folder.
std::filesystem::path enterApplicationFolder()
{
    const std::filesystem::path appFolder =
        tavrin::PrepareProgramFolders(
            QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(), TAVRIN_VERSION)
            .applicationFolder;
    std::filesystem::current_path(appFolder);
    return appFolder;
}

// A command that opens no window.
int runCommand(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    try {
        const std::filesystem::path appFolder = enterApplicationFolder();
        return tavrin::RunExportGamelistCommand({argv + 2, argv + argc}, appFolder.string(), std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "tavrin: " << e.what() << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::string_view(argv[1]) == tavrin::kExportGamelistOption)
        return runCommand(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    // Lets the desktop match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tavrin.Tavrin"));

    std::filesystem::path appFolder;
    try {
        appFolder = enterApplicationFolder();
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
