#include "FrmAddFolder.h"

#include "Accessibility.h"
#include "catalogue/Dao.h"
#include "catalogue/FolderScan.h"
#include "core/Prompt.h"

#include <QApplication>
#include <QProgressDialog>

namespace tavrin
{

bool AddFolderWithProgress(QWidget* parent, Prompt& prompt, const std::string& databasePath,
                           const std::string& folder, const std::string& appFolder)
{
    QProgressDialog progress(
        QStringLiteral("Adding the software in \"%1\"...").arg(QString::fromStdString(folder)),
        QStringLiteral("Stop"), 0, 1, parent);
    progress.setObjectName(QStringLiteral("frmAddFolder"));
    nameProgressBar(progress, QStringLiteral("Files looked at"));
    progress.setWindowTitle(QString::fromUtf8(kProgramTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    FolderScanReport report;
    try {
        report = AddFolderOfSoftware(databasePath, folder, appFolder, [&](int done, int total) {
            progress.setMaximum(total > 0 ? total : 1);
            progress.setValue(done);
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    } catch (const dao::DaoError& e) {
        progress.reset();
        prompt.messageBox("The catalogue \"" + databasePath +
                              "\" could not be changed; nothing was added.\n\n" + e.what(),
                          PromptButtons::Ok, PromptIcon::Exclamation);
        return false;
    }
    progress.reset();
    prompt.messageBox(FolderScanSummary(report), PromptButtons::Ok, PromptIcon::Information);
    return report.added > 0;
}

} // namespace tavrin
