#pragma once
// The window shown while an archive is unpacked: the entry being written, a
// bar of the bytes written, and Cancel. Modal to the main window, so that
// nothing the unpack uses can be started again meanwhile; it appears only
// when the unpack lasts longer than half a second, and keeps the windows
// painted.

#include "launch/UnpackGuard.h"

#include <QElapsedTimer>
#include <QProgressDialog>

namespace tavrin {

class FrmUnpackProgress : public QProgressDialog, public UnpackProgress {
public:
    FrmUnpackProgress(const std::string& archive, QWidget* parent);

    bool report(const std::string& entry, uint64_t done, uint64_t total) override;

    // Opens the window for each unpack, modal to `parent`.
    static ShowUnpackProgress opener(QWidget* parent);

private:
    QString archive_;
    std::string entry_;
    QElapsedTimer sinceEvents_;
};

} // namespace tavrin
