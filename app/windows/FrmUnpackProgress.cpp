#include "FrmUnpackProgress.h"

#include "core/FileHelpers.h"
#include "core/Prompt.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace tavrin {
namespace {

constexpr int kSteps = 1000;
constexpr int kShowAfterMs = 500;
constexpr int kEventsEveryMs = 40;

} // namespace

FrmUnpackProgress::FrmUnpackProgress(const std::string& archive, QWidget* parent)
    : QProgressDialog(parent), archive_(QString::fromStdString(GetFilename(archive)))
{
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    setAccessibleName(QStringLiteral("Unpacking"));
    auto* bar = new QProgressBar(this);
    bar->setAccessibleName(QStringLiteral("Bytes unpacked"));
    setBar(bar);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    setCancelButton(cancel);
    setLabelText(QStringLiteral("Unpacking %1").arg(archive_));
    setRange(0, kSteps);
    setMinimumDuration(kShowAfterMs);
    setAutoReset(false);
    setAutoClose(false);
    setWindowModality(Qt::ApplicationModal);
    setValue(0);
    sinceEvents_.start();
}

bool FrmUnpackProgress::report(const std::string& entry, uint64_t done, uint64_t total)
{
    if (entry != entry_) {
        entry_ = entry;
        setLabelText(QStringLiteral("Unpacking %1\n%2").arg(archive_, QString::fromStdString(entry)));
    }
    const double part = total ? static_cast<double>(std::min(done, total)) / static_cast<double>(total) : 1;
    setValue(static_cast<int>(part * kSteps));
    // Painting and the window's own buttons go on; until it shows, no click
    // may reach the main window and start anything the unpack uses.
    if (sinceEvents_.elapsed() >= kEventsEveryMs) {
        QCoreApplication::processEvents(isVisible() ? QEventLoop::AllEvents
                                                    : QEventLoop::ExcludeUserInputEvents);
        sinceEvents_.restart();
    }
    return !wasCanceled();
}

ShowUnpackProgress FrmUnpackProgress::opener(QWidget* parent)
{
    return [parent](const std::string& archive) -> std::unique_ptr<UnpackProgress> {
        return std::make_unique<FrmUnpackProgress>(archive, parent);
    };
}

} // namespace tavrin
