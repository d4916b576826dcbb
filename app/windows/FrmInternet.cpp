#include "FrmInternet.h"

#include "Accessibility.h"
#include "PictureButton.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

namespace tavrin
{

FrmInternet::FrmInternet(Form1State& f, Prompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Window), download(f, prompt, this)
{
    setObjectName(QStringLiteral("frmInternet"));
    setWindowTitle(QStringLiteral("Internet download"));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setScaledContents(true);
    Picture1->setFixedSize(64, 64);
    markDecoration(Picture1);
    showStoredPicture(Picture1, QStringLiteral(":/windows/owl.png"));
    Label2 = new QLabel(QStringLiteral("Connecting with"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtText1 = new QLineEdit(QStringLiteral("Downloading:"), this);
    txtText1->setObjectName(QStringLiteral("txtText1"));
    txtText1->setReadOnly(true);
    txtText1->setAccessibleName(QStringLiteral("Download"));
    txtText1->setMinimumWidth(420);
    lblBytes = new QLabel(this);
    lblBytes->setObjectName(QStringLiteral("lblBytes"));
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setAccessibleName(QStringLiteral("Bytes received"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(cmdCancel, &QPushButton::clicked, this, [this] { download.cancel(); });
    setWindowModality(Qt::ApplicationModal);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Picture1, 0, 0, 5, 1, Qt::AlignTop);
    layout->addWidget(Label2, 0, 1);
    layout->addWidget(txtText1, 1, 1);
    layout->addWidget(barProgress, 2, 1);
    layout->addWidget(lblBytes, 3, 1);
    layout->addWidget(cmdCancel, 4, 1, Qt::AlignRight);
}

void FrmInternet::showDownload(const std::string& label2, const std::string& text1)
{
    Label2->setText(QString::fromStdString(label2));
    txtText1->setText(QString::fromStdString(text1));
    txtText1->setCursorPosition(0);
    barProgress->setRange(0, 0); // busy until the size is known
    lblBytes->setText(QStringLiteral("Connecting..."));
    receiving_ = false;
    show();
    raise();
    repaint();
}

void FrmInternet::showProgress(qint64 received, qint64 total)
{
    // The first bytes show at once, the rest a few times a second.
    if (receiving_ && shownProgress_.elapsed() < 100 && received != total)
        return;
    receiving_ = true;
    shownProgress_.start();
    const QLocale locale;
    if (total > 0) {
        // The bar counts kilobytes, so that sizes above 2 GB fit its range.
        barProgress->setRange(0, static_cast<int>(total / 1024));
        barProgress->setValue(static_cast<int>(std::min(received, total) / 1024));
        lblBytes->setText(QStringLiteral("Receiving: %1 of %2 bytes")
                              .arg(locale.toString(received), locale.toString(total)));
    } else {
        lblBytes->setText(QStringLiteral("Receiving: %1 bytes").arg(locale.toString(received)));
    }
}

void FrmInternet::closeDownload()
{
    hide();
}

// Closing the window while a transfer runs cancels it; the window goes when
// the transfer has stopped.
void FrmInternet::closeEvent(QCloseEvent* event)
{
    if (download.busy()) {
        download.cancel();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace tavrin
