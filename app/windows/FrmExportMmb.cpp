#include "FrmExportMmb.h"

#include "Form1.h"
#include "core/Prompt.h"
#include "launch/ZippedSoftware.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>

namespace tavrin
{

bool ExportMmbWithProgress(QWidget* parent, Prompt& prompt,
                           const std::vector<MmbExportTitle>& titles, const std::string& mmbPath,
                           const UnpackArchive& unpack)
{
    QProgressDialog progress(
        QStringLiteral("Exporting to \"%1\"...").arg(QString::fromStdString(mmbPath)),
        QStringLiteral("Stop"), 0, std::max<int>(1, static_cast<int>(titles.size())), parent);
    progress.setObjectName(QStringLiteral("frmExportMmb"));
    progress.setWindowTitle(QString::fromUtf8(kProgramTitle));
    progress.setWindowModality(Qt::WindowModal);
    // Shown at once: the window takes no other command while the export runs.
    progress.setMinimumDuration(0);
    const MmbExportReport report = ExportToMmb(titles, mmbPath, unpack, [&](int done, int) {
        progress.setValue(done);
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.reset();
    const bool written = report.written > 0 && report.error.empty() && !report.cancelled;
    prompt.messageBox(MmbExportSummary(report, mmbPath), PromptButtons::Ok,
                      written ? PromptIcon::Information : PromptIcon::Exclamation);
    return written;
}

void Form1::mnuExportMmb_Click()
{
    if (f.boolInternet) {
        prompt_->messageBox(kMmbExportNeedsLocalCatalogue);
        return;
    }
    const QString file =
        chooseMmbFile ? chooseMmbFile()
                      : QFileDialog::getSaveFileName(
                            this, QStringLiteral("Export to MMB"), QStringLiteral("BEEB.MMB"),
                            QStringLiteral("MMB files (*.mmb *.MMB);;All files (*)"));
    if (file.isEmpty())
        return;
    CreateUnzipFiles create = createUnzipFiles;
    if (!create)
        create = unzipFilesFactory();
    ExportMmbWithProgress(this, *prompt_, MmbExportTitles(f.MSFlexGrid, rowsShown_),
                          QFile::encodeName(file).toStdString(),
                          [&create](const std::string& archive, const std::string& folder) {
                              return UnpackArchiveInto(create, archive, folder);
                          });
}

} // namespace tavrin
