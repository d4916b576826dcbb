#include "FrmFormIni.h"

#include "Form1.h"
#include "core/Prompt.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin {
namespace {

QLineEdit* pathBox(const char* name)
{
    auto* box = new QLineEdit;
    box->setObjectName(QString::fromUtf8(name));
    box->setMinimumWidth(360);
    return box;
}

} // namespace

FrmFormIni::FrmFormIni(Form1& form1) : QDialog(nullptr), form1_(form1)
{
    setObjectName(QStringLiteral("frmFormIni"));
    // Closed by a button, Escape or the close box, the window is unloaded.
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    setWindowTitle(QStringLiteral("Tavrin Properties"));

    cmbEmu = new QComboBox;
    cmbEmu->setObjectName(QStringLiteral("cmbEmu"));
    cmbEmu->setEditable(true);
    cmbEmu->setInsertPolicy(QComboBox::NoInsert);
    txtBeebEmDest = pathBox("txtBeebEmDest");
    txtBeebEmExec = pathBox("txtBeebEmExec");
    txtB_EmDest = pathBox("txtB_EmDest");
    txtB_EmExec = pathBox("txtB_EmExec");
    txtPcBBCDest = pathBox("txtPcBBCDest");
    txtPcBBCExec = pathBox("txtPcBBCExec");
    txtElectrEmExec = pathBox("txtElectrEmExec");

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Default emulator"), cmbEmu);
    form->addRow(QStringLiteral("BeebEm data destination"), txtBeebEmDest);
    form->addRow(QStringLiteral("BeebEm exec/batch file"), txtBeebEmExec);
    form->addRow(QStringLiteral("B-Em data destination"), txtB_EmDest);
    form->addRow(QStringLiteral("B-Em exec/batch file"), txtB_EmExec);
    form->addRow(QStringLiteral("PcBBC data destination"), txtPcBBCDest);
    form->addRow(QStringLiteral("PcBBC exec/batch file"), txtPcBBCExec);
    form->addRow(QStringLiteral("ElectrEm exec file"), txtElectrEmExec);

    cmdUpdateEdits = new QPushButton(QStringLiteral("Save"));
    cmdUpdateEdits->setObjectName(QStringLiteral("cmdUpdateEdits"));
    cmdUpdateEdits->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(cmdUpdateEdits, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    // The buttons run their own steps; the box must not close the dialog.
    connect(cmdUpdateEdits, &QPushButton::clicked, this, &FrmFormIni::cmdUpdateEdits_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmFormIni::cmdCancel_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    ReadIni();
}

void FrmFormIni::ReadIni()
{
    setValues(tavrin::ReadIni(form1_.f));
    form1_.syncEmulatorMenu();
}

void FrmFormIni::setValues(const FormIniValues& v)
{
    shown_ = v;
    // The list holds the four names; the text read from the file stays,
    // whatever it is.
    cmbEmu->clear();
    for (const char* name : kEmulatorNames)
        cmbEmu->addItem(QString::fromUtf8(name));
    cmbEmu->setCurrentIndex(cmbEmu->findText(QString::fromStdString(v.cmbEmu), Qt::MatchExactly |
                                                                                   Qt::MatchCaseSensitive));
    cmbEmu->setEditText(QString::fromStdString(v.cmbEmu));
    txtBeebEmDest->setText(QString::fromStdString(v.txtBeebEmDest));
    txtBeebEmExec->setText(QString::fromStdString(v.txtBeebEmExec));
    txtB_EmDest->setText(QString::fromStdString(v.txtB_EmDest));
    txtB_EmExec->setText(QString::fromStdString(v.txtB_EmExec));
    txtPcBBCDest->setText(QString::fromStdString(v.txtPcBBCDest));
    txtPcBBCExec->setText(QString::fromStdString(v.txtPcBBCExec));
    txtElectrEmExec->setText(QString::fromStdString(v.txtElectrEmExec));
}

FormIniValues FrmFormIni::values() const
{
    // A box left as it was keeps the bytes read from the file, also those
    // that are not UTF-8 (and show as replacement characters).
    auto text = [this](const QString& now, std::string FormIniValues::*member) {
        const std::string& read = shown_.*member;
        return now == QString::fromStdString(read) ? read : now.toStdString();
    };
    FormIniValues v;
    v.cmbEmu = text(cmbEmu->currentText(), &FormIniValues::cmbEmu);
    v.txtBeebEmDest = text(txtBeebEmDest->text(), &FormIniValues::txtBeebEmDest);
    v.txtBeebEmExec = text(txtBeebEmExec->text(), &FormIniValues::txtBeebEmExec);
    v.txtB_EmDest = text(txtB_EmDest->text(), &FormIniValues::txtB_EmDest);
    v.txtB_EmExec = text(txtB_EmExec->text(), &FormIniValues::txtB_EmExec);
    v.txtPcBBCDest = text(txtPcBBCDest->text(), &FormIniValues::txtPcBBCDest);
    v.txtPcBBCExec = text(txtPcBBCExec->text(), &FormIniValues::txtPcBBCExec);
    v.txtElectrEmExec = text(txtElectrEmExec->text(), &FormIniValues::txtElectrEmExec);
    return v;
}

void FrmFormIni::cmdUpdateEdits_Click()
{
    const FormIniValues v = values();
    if (!InputIsComplete(v)) {
        form1_.prompt().messageBox(kIncompleteMessage, PromptButtons::Ok);
        return;
    }
    SetupEmulatorByName(form1_.f, v);
    form1_.syncEmulatorMenu();
    std::string error;
    if (!WriteIni(form1_.f, v, &error)) {
        // The choice holds for this run; the dialog stays open so that the
        // settings can be saved once the file can be written.
        form1_.prompt().messageBox("The settings could not be saved to \"" +
                                       IniFilePath(form1_.f) + "\": " + error +
                                       ".\n\nThey hold until Tavrin ends.",
                                   PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    close();
}

void FrmFormIni::cmdCancel_Click() { close(); }

} // namespace tavrin
