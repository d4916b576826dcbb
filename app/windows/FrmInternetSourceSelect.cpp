#include "FrmInternetSourceSelect.h"

#include "Accessibility.h"
#include "BusyCursor.h"
#include "Form1.h"
#include "PictureButton.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Dao.h"
#include "catalogue/JetImport.h"
#include "core/Paths.h"
#include "internet/InternetSources.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavrin
{

FrmInternetSourceSelect::FrmInternetSourceSelect(Form1& form) : QDialog(&form), form_(form)
{
    setObjectName(QStringLiteral("frmInternetSourceSelect"));
    setWindowTitle(QStringLiteral("Internet Source Select"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    lblHeading = new QLabel(QStringLiteral("Tavrin Internet access"), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    QFont heading = lblHeading->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    lblHeading->setFont(heading);
    lblSelect = new QLabel(QStringLiteral("Select an Internet source:"), this);
    lblSelect->setObjectName(QStringLiteral("lblSelect"));

    auto* options = new QVBoxLayout;
    for (std::size_t i = 0; i < Option.size(); ++i) {
        Option[i] = new QRadioButton(QString::fromUtf8(kInternetSources[i].label), this);
        Option[i]->setObjectName(QString::fromUtf8(kInternetSources[i].option));
        options->addWidget(Option[i]);
    }
    Option[0]->setChecked(true);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setScaledContents(true);
    Picture1->setFixedSize(96, 96);
    markDecoration(Picture1);
    showStoredPicture(Picture1, QStringLiteral(":/windows/owl.png"));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &FrmInternetSourceSelect::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmInternetSourceSelect::cmdCancel_Click);

    auto* middle = new QHBoxLayout;
    middle->addLayout(options, 1);
    middle->addWidget(Picture1, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeading);
    layout->addWidget(lblSelect);
    layout->addLayout(middle);
    layout->addLayout(buttons);
}

void FrmInternetSourceSelect::cmdOK_Click()
{
    if (answered_)
        return;
    Form1State& f = form_.f;
    if (!f.boolInternet) {
        // The source button went back to the local catalogue meanwhile.
        answered_ = true;
        close();
        return;
    }
    std::size_t chosen = 0;
    while (chosen + 1 < Option.size() && !Option[chosen]->isChecked())
        ++chosen;
    const InternetSource& source = kInternetSources[chosen];
    const std::string address = SourceAddress(f, chosen);
    if (address.empty()) {
        // Nothing changes; another source can be chosen, or Cancel.
        form_.prompt().messageBox(
            MissingAddressMessage(f, source.key,
                                  std::string("the source \"") + source.label + "\""),
            PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    f.sURLMain = address;
    f.sInternetDatabase = kChosenInternetDatabase;
    f.sDbTable = source.table;
    f.sInternetSiteName = source.siteName;
    answered_ = true;
    hide();
    BusyCursor busy;
    f.MSFlexGrid.Clear();
    try {
        // A reference catalogue made by the Windows program (a Jet database)
        // is converted once; one that cannot be read stays as it is.
        std::string converted;
        switch (ConvertJetFileInPlace(f.sInternetDatabase, InternetCatalogueCheck(),
                                      "internet.mdb", converted)) {
        case JetConversion::Converted:
            form_.prompt().messageBox(converted, PromptButtons::Ok, PromptIcon::Information);
            break;
        case JetConversion::Failed:
            throw dao::DaoError(dao::errUnrecognizedFormat, converted);
        case JetConversion::NotJet:
            break;
        }
        TransferFromAccess(f, f.sInternetDatabase, f.sDbTable);
    } catch (const dao::DaoError& e) {
        form_.prompt().messageBox("The list of \"" + std::string(source.label) +
                                      "\" cannot be read from \"" +
                                      OsPathString(f.sInternetDatabase) + "\".\n\n" + e.what(),
                                  PromptButtons::Ok, PromptIcon::Critical);
    }
    form_.showInternetList();
    close();
}

void FrmInternetSourceSelect::cmdCancel_Click()
{
    reject();
}

void FrmInternetSourceSelect::reject()
{
    if (!answered_) {
        answered_ = true;
        form_.internetSourceCancelled();
    }
    QDialog::reject();
    close();
}

} // namespace tavrin
