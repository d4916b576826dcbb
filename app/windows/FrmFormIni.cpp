#include "FrmFormIni.h"

#include "Form1.h"
#include "core/FileHelpers.h"
#include "core/Paths.h"
#include "core/Prompt.h"
#include "launch/ProgramCheck.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
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
    // Only a name written exactly as one of the four is that emulator: the
    // box must not turn "beebem" into "BeebEm" when it loses the focus or on
    // Return, which it does while its completer ignores letter case.
    cmbEmu->completer()->setCaseSensitivity(Qt::CaseSensitive);
    txtBeebEmDest = pathBox("txtBeebEmDest");
    txtBeebEmExec = pathBox("txtBeebEmExec");
    txtB_EmDest = pathBox("txtB_EmDest");
    txtB_EmExec = pathBox("txtB_EmExec");
    txtPcBBCDest = pathBox("txtPcBBCDest");
    txtPcBBCExec = pathBox("txtPcBBCExec");
    txtElectrEmExec = pathBox("txtElectrEmExec");

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Default emulator"), cmbEmu);
    form->addRow(QStringLiteral("BeebEm data destination"), pathRow(txtBeebEmDest, false));
    form->addRow(QStringLiteral("BeebEm exec/batch file"), pathRow(txtBeebEmExec, true));
    form->addRow(QStringLiteral("B-Em data destination"), pathRow(txtB_EmDest, false));
    form->addRow(QStringLiteral("B-Em exec/batch file"), pathRow(txtB_EmExec, true));
    form->addRow(QStringLiteral("PcBBC data destination"), pathRow(txtPcBBCDest, false));
    form->addRow(QStringLiteral("PcBBC exec/batch file"), pathRow(txtPcBBCExec, true));
    form->addRow(QStringLiteral("ElectrEm exec file"), pathRow(txtElectrEmExec, true));
    nameBoxesByLabels(form);

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

// Screen readers name each box by its label, and its browse button after it.
void FrmFormIni::nameBoxesByLabels(QFormLayout* form)
{
    for (int row = 0; row < form->rowCount(); ++row) {
        const QLayoutItem* labelItem = form->itemAt(row, QFormLayout::LabelRole);
        const QLayoutItem* fieldItem = form->itemAt(row, QFormLayout::FieldRole);
        const auto* label = labelItem ? qobject_cast<QLabel*>(labelItem->widget()) : nullptr;
        QWidget* field = fieldItem ? fieldItem->widget() : nullptr;
        if (!label || !field)
            continue;
        // A path row holds its box, a browse button and a mark.
        QWidget* box = field;
        if (field->metaObject() == &QWidget::staticMetaObject)
            if (auto* inRow = field->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly))
                box = inRow;
        box->setAccessibleName(label->text());
        if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
            combo->lineEdit()->setAccessibleName(label->text());
        for (QToolButton* browse : field->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
            browse->setAccessibleName(QStringLiteral("Choose the ") + label->text());
    }
}

// A box with its browse button and, for a program, the mark beside it that
// follows the box's text as it is typed.
QWidget* FrmFormIni::pathRow(QLineEdit* box, bool program)
{
    const QString name = box->objectName().mid(3); // "BeebEmExec" of "txtBeebEmExec"
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box, 1);
    auto* browse = new QToolButton;
    browse->setObjectName(QStringLiteral("cmdBrowse") + name);
    browse->setText(QStringLiteral("..."));
    // Tab keeps going from box to box, as the dialog always did; a path can
    // be typed without the button.
    browse->setFocusPolicy(Qt::ClickFocus);
    browse->setToolTip(program ? QStringLiteral("Choose the program")
                               : QStringLiteral("Choose where the disk image goes"));
    layout->addWidget(browse);
    QLabel* mark = nullptr;
    if (program) {
        mark = new QLabel;
        mark->setObjectName(QStringLiteral("lbl") + name + QStringLiteral("Check"));
        mark->setMinimumWidth(mark->fontMetrics().horizontalAdvance(
            QStringLiteral("has an unclosed quote")));
        layout->addWidget(mark);
        connect(box, &QLineEdit::textChanged, this, [this, box] { checkProgramBox(box); });
        connect(browse, &QToolButton::clicked, this, [this, box] { browseProgram(box); });
    } else {
        connect(browse, &QToolButton::clicked, this, [this, box] { browseDestination(box); });
    }
    rows_.push_back({box, browse, mark});
    return row;
}

void FrmFormIni::checkProgramBox(QLineEdit* box)
{
    for (const PathRow& r : rows_) {
        if (r.box != box || !r.mark)
            continue;
        const ProgramCheck check = CheckEmulatorProgram(boxValue(box));
        const std::string text = ProgramStateText(check.state);
        r.mark->setText(QString::fromStdString(text));
        r.mark->setStyleSheet(text.empty() ? QString() : QStringLiteral("color: #c00000;"));
        r.mark->setToolTip(text.empty() ? QString()
                                        : QStringLiteral("The program %1; it can still be saved.")
                                              .arg(QString::fromStdString(text)));
    }
}

QString FrmFormIni::askForFile(const FileRequest& request)
{
    if (chooseFile)
        return chooseFile(request);
    if (request.save)
        return QFileDialog::getSaveFileName(this, request.caption, request.start,
                                            QStringLiteral("Disk images (*.ssd *.dsd *.img *.bbc *.uef);;"
                                                           "All files (*)"),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    QFileDialog dialog(this, request.caption, request.start);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Programs only: executable files, and the folders to find them in.
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

namespace {

// The folder a file dialog opens in: the folder of the box's file when it
// exists, else the application folder (the current folder).
QString startFolder(const QString& value)
{
    if (!value.trimmed().isEmpty()) {
        const QFileInfo file(QString::fromStdString(OsPathString(value.toStdString())));
        if (file.absoluteDir().exists())
            return file.absolutePath();
    }
    return QDir::currentPath();
}

} // namespace

// The value a box stands for: the bytes read from the file while it is left
// as it was (a program name that is not UTF-8 is still found).
std::string FrmFormIni::boxValue(const QLineEdit* box) const
{
    const FormIniValues v = values();
    const std::pair<const QLineEdit*, const std::string*> boxes[] = {
        {txtBeebEmDest, &v.txtBeebEmDest}, {txtBeebEmExec, &v.txtBeebEmExec},
        {txtB_EmDest, &v.txtB_EmDest},     {txtB_EmExec, &v.txtB_EmExec},
        {txtPcBBCDest, &v.txtPcBBCDest},   {txtPcBBCExec, &v.txtPcBBCExec},
        {txtElectrEmExec, &v.txtElectrEmExec},
    };
    for (const auto& [b, value] : boxes)
        if (b == box)
            return *value;
    return box->text().toStdString();
}

void FrmFormIni::browseProgram(QLineEdit* box)
{
    const ProgramCheck check = CheckEmulatorProgram(boxValue(box));
    const QString known = check.program.empty() ? box->text() : QString::fromStdString(check.program);
    const QString chosen = askForFile({QStringLiteral("Choose the emulator's program"),
                                       startFolder(known), false});
    if (!chosen.isEmpty())
        box->setText(chosen);
}

void FrmFormIni::browseDestination(QLineEdit* box)
{
    const QString value = box->text();
    const QString name = value.trimmed().isEmpty()
                             ? QStringLiteral("Disk0.ssd")
                             : QString::fromStdString(GetFilename(value.toStdString()));
    const QString start = QDir(startFolder(value)).filePath(name.isEmpty() ? QStringLiteral("Disk0.ssd")
                                                                         : name);
    const QString chosen = askForFile({QStringLiteral("Where the emulator expects the disk image"),
                                       start, true});
    if (!chosen.isEmpty())
        box->setText(chosen);
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
    for (const PathRow& r : rows_)
        if (r.mark)
            checkProgramBox(r.box);
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
        form1_.prompt().messageBox(IncompleteMessage(v), PromptButtons::Ok);
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
