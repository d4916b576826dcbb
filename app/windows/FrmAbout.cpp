#include "FrmAbout.h"

#include "Accessibility.h"
#include "PictureButton.h"
#include "Twips.h"
#include "core/Prompt.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace tavrin {

QString aboutCaption() { return QStringLiteral("About ") + QString::fromUtf8(kProgramTitle); }

QString aboutVersion(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    return QStringLiteral("Version %1.%2").arg(parts.value(0).toInt()).arg(parts.value(1).toInt());
}

FrmAbout::FrmAbout(const QString& version)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    // Closed by a button, Escape or the close box, the window is unloaded.
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    setFixedSize(twipsToPixels(5730, this), twipsToPixels(3060, this));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipsToPixels(240, this), twipsToPixels(240, this), 32, 32);
    markDecoration(picIcon);
    showStoredPicture(picIcon, QStringLiteral(":/windows/about-icon.png"));

    QFont titleFont = font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setFont(titleFont);
    lblTitle->setGeometry(twipsRect(1050, 240, 4440, 480, this));

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(twipsRect(1050, 780, 4440, 300, this));

    lblDescription = new QLabel(this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setGeometry(twipsRect(1050, 1125, 4440, 810, this));

    // An etched separator: a grey line above a white one.
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(twipsRect(225, 1990, 5280, 30, this));
    markDecoration(Line1);

    lblDisclaimer = new QLabel(this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setGeometry(twipsRect(255, 2160, 3870, 780, this));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4245, 2535, 1260, 375, this));
    // Both the default and the cancel button: Enter and Escape press it.
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);

    // The load.
    setWindowTitle(aboutCaption());
    lblVersion->setText(aboutVersion(version.isEmpty() ? QApplication::applicationVersion() : version));
    lblTitle->setText(QString::fromUtf8(kProgramTitle));
    lblDescription->setText(QString::fromUtf8(kDescription));
    lblDisclaimer->setText(QString::fromUtf8(kDisclaimer));
}

} // namespace tavrin
