#include "FrmUpdateImg.h"

#include "Accessibility.h"
#include "PictureButton.h"
#include "Twips.h"
#include "launch/Launcher.h"

#include <QLabel>
#include <QPushButton>

namespace tavrin {

FrmUpdateImg::FrmUpdateImg(Launcher& launcher, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      launcher_(launcher)
{
    setObjectName(QStringLiteral("frmUpdateImg"));
    setWindowTitle(QStringLiteral("Update image"));
    setModal(true);
    setFixedSize(twipsToPixels(6030, this), twipsToPixels(1830, this));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setGeometry(twipsRect(120, 120, 960, 960, this));
    markDecoration(Image1);
    showStoredPicture(Image1, QStringLiteral(":/windows/owl.png"));

    Label2 = new QLabel(
        QStringLiteral("The last disk image used was of the type .IMG and is updateable."), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setGeometry(twipsRect(1200, 120, 4695, 495, this));
    Label1 = new QLabel(
        QStringLiteral("Do you want to update and save any changes to this disk image?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setGeometry(twipsRect(1200, 660, 4695, 495, this));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(twipsRect(3240, 1260, 1215, 375, this));
    NoButton = new QPushButton(QStringLiteral("No"), this);
    NoButton->setObjectName(QStringLiteral("NoButton"));
    NoButton->setGeometry(twipsRect(4680, 1260, 1215, 375, this));
    OKButton->setDefault(true);
    setTabOrder(OKButton, NoButton);
    connect(OKButton, &QPushButton::clicked, this, &FrmUpdateImg::OKButton_Click);
    connect(NoButton, &QPushButton::clicked, this, &FrmUpdateImg::NoButton_Click);
}

void FrmUpdateImg::OKButton_Click()
{
    // A failed copy leaves the image as it was and says why; the window
    // closes either way, with no retry.
    launcher_.UpdateImageFromWorkingCopy();
    accept();
}

void FrmUpdateImg::NoButton_Click() { reject(); }

} // namespace tavrin
