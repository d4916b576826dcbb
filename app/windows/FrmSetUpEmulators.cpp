#include "FrmSetUpEmulators.h"

#include "Form1.h"
#include "FrmFormIni.h"
#include "core/Form1State.h"
#include "core/Prompt.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin {
namespace {

constexpr int kPathColumn = 3;

QComboBox* slotChoice(const char* name, const char* label)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromUtf8(name));
    box->setAccessibleName(QString::fromUtf8(label));
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(68);
    return box;
}

QLabel* slotShows(const char* name)
{
    auto* label = new QLabel;
    label->setObjectName(QString::fromUtf8(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

const char* slotName(Emulator e) { return kEmulatorNames[static_cast<std::size_t>(e)]; }

// The program box and data destination a slot holds in `v`.
SlotSetting storedSetting(const FormIniValues& v, Emulator e)
{
    switch (e) {
    case Emulator::BeebEm: return {v.txtBeebEmExec, v.txtBeebEmDest};
    case Emulator::B_Em: return {v.txtB_EmExec, v.txtB_EmDest};
    case Emulator::PcBBC: return {v.txtPcBBCExec, v.txtPcBBCDest};
    case Emulator::ElectrEm: return {v.txtElectrEmExec, {}};
    }
    return {};
}

} // namespace

FrmSetUpEmulators::FrmSetUpEmulators(Form1& form1, EmulatorSearch search)
    : QDialog(nullptr), form1_(form1), search_(std::move(search))
{
    setObjectName(QStringLiteral("frmSetUpEmulators"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    setWindowTitle(QStringLiteral("Set up emulators"));

    auto* intro = new QLabel(QStringLiteral(
        "Tavrin looked for BBC Micro and Electron emulators on PATH, in /usr/games, /usr/local, "
        "/opt, ~/.local/bin, ~/bin and the Flatpak and Snap folders. Choose what each emulator "
        "starts; Save writes it to the Properties and makes the Default emulator the one Run "
        "uses.\n\nMAME needs the ROM files of its BBC Micro (bbcb) and Electron (electron) "
        "machines in its ROM path; they do not come with it."));
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);

    cmbBeebEm = slotChoice("cmbBeebEm", "BeebEm");
    cmbB_Em = slotChoice("cmbB_Em", "B-Em");
    cmbElectrEm = slotChoice("cmbElectrEm", "ElectrEm");
    slots_ = {{Emulator::B_Em, cmbB_Em, slotShows("lblB_Em"), {}},
              {Emulator::BeebEm, cmbBeebEm, slotShows("lblBeebEm"), {}},
              {Emulator::ElectrEm, cmbElectrEm, slotShows("lblElectrEm"), {}}};
    auto* form = new QFormLayout;
    for (Slot& slot : slots_) {
        // The choice with, below it, what it writes.
        auto* field = new QWidget;
        auto* column = new QVBoxLayout(field);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(slot.choice);
        column->addWidget(slot.shows);
        form->addRow(QString::fromUtf8(slotName(slot.emulator)), field);
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(field)))
            label->setBuddy(slot.choice);
        QComboBox* box = slot.choice;
        connect(box, &QComboBox::currentIndexChanged, this, [this, box] {
            for (Slot& s : slots_)
                if (s.choice == box)
                    showChoice(s);
            chooseDefault();
        });
    }
    auto* pcbbc = new QLabel(
        QStringLiteral("A DOS program, not looked for: set it up under Options, Properties."));
    pcbbc->setObjectName(QStringLiteral("lblPcBBC"));
    pcbbc->setWordWrap(true);
    form->addRow(QStringLiteral("PcBBC"), pcbbc);
    cmbEmu = slotChoice("cmbEmu", "Default emulator");
    cmbEmu->setMinimumContentsLength(10);
    for (const char* name : kEmulatorNames)
        cmbEmu->addItem(QString::fromUtf8(name));
    connect(cmbEmu, &QComboBox::activated, this, [this] { defaultChosenByUser_ = true; });
    form->addRow(QStringLiteral("Default emulator"), cmbEmu);

    cmdFolder = new QPushButton(QStringLiteral("&Look in a folder..."));
    cmdFolder->setObjectName(QStringLiteral("cmdFolder"));
    cmdTryIt = new QPushButton(QStringLiteral("&Try it"));
    cmdTryIt->setObjectName(QStringLiteral("cmdTryIt"));
    cmdSave = new QPushButton(QStringLiteral("Save"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(cmdTryIt, QDialogButtonBox::ActionRole);
    buttons->addButton(cmdSave, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    connect(cmdFolder, &QPushButton::clicked, this, &FrmSetUpEmulators::cmdFolder_Click);
    connect(cmdTryIt, &QPushButton::clicked, this, &FrmSetUpEmulators::cmdTryIt_Click);
    connect(cmdSave, &QPushButton::clicked, this, &FrmSetUpEmulators::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmSetUpEmulators::cmdCancel_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    // The search on the left, away from the buttons that close the window.
    auto* row = new QHBoxLayout;
    row->addWidget(cmdFolder);
    row->addStretch();
    row->addWidget(buttons);
    layout->addLayout(row);

    // The keyboard goes through the window as it reads, from the first slot.
    QWidget* order[] = {cmbB_Em, cmbBeebEm, cmbElectrEm, cmbEmu, cmdFolder, cmdSave, cmdTryIt,
                        cmdCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    cmbB_Em->setFocus();

    stored_ = ReadIniValues(form1_.f);
    lookAgain();
    fillChoices(false);
}

std::filesystem::path FrmSetUpEmulators::appFolder() const
{
    std::error_code ec;
    return form1_.f.sAppPath.empty() ? std::filesystem::current_path(ec)
                                     : std::filesystem::path(form1_.f.sAppPath);
}

void FrmSetUpEmulators::lookAgain()
{
    const std::vector<FoundEmulator> found = FindEmulators(search_);
    for (Slot& slot : slots_) {
        slot.found.clear();
        for (const FoundEmulator& f : found)
            if (f.slot == slot.emulator)
                slot.found.push_back(f);
    }
}

// Item 0 keeps what the slot holds; the others are what was found. A slot
// without a program gets the first program found, or with `preferPicked`
// a known one from the picked folder.
void FrmSetUpEmulators::fillChoices(bool preferPicked)
{
    for (Slot& slot : slots_) {
        const QSignalBlocker quiet(slot.choice);
        const int before = slot.choice->currentIndex();
        const std::string current = storedSetting(stored_, slot.emulator).exec;
        slot.choice->clear();
        slot.choice->addItem(current.empty()
                                 ? QStringLiteral("Leave it as it is (not set up)")
                                 : QStringLiteral("Keep: %1").arg(QString::fromStdString(current)));
        int chosen = current.empty() && !slot.found.empty() ? 1 : 0;
        if (preferPicked && before >= 0)
            chosen = before; // a new search keeps the items found before in their places
        int pickedKnown = -1;
        for (std::size_t i = 0; i < slot.found.size(); ++i) {
            const FoundEmulator& f = slot.found[i];
            slot.choice->addItem(QStringLiteral("%1: %2").arg(
                QString::fromStdString(DescribeFoundEmulator(f)),
                QString::fromStdString(f.program.string())));
            if (pickedKnown < 0 && f.picked && f.kind != EmulatorProgramKind::Generic)
                pickedKnown = static_cast<int>(i) + 1;
        }
        if (preferPicked && pickedKnown > 0)
            chosen = pickedKnown;
        slot.choice->setCurrentIndex(chosen);
        showChoice(slot);
    }
    chooseDefault();
}

void FrmSetUpEmulators::showChoice(Slot& slot)
{
    const int index = slot.choice->currentIndex();
    const SlotSetting s = index > 0 ? SlotSettingFor(slot.found[index - 1], appFolder())
                                    : storedSetting(stored_, slot.emulator);
    QString text;
    if (s.exec.empty())
        text = slot.found.empty() ? QStringLiteral("Nothing found.")
                                  : QStringLiteral("Not set up.");
    else
        text = QStringLiteral("exec/batch file: %1").arg(QString::fromStdString(s.exec));
    if (!s.dest.empty())
        text += QStringLiteral("\ndata destination: %1").arg(QString::fromStdString(s.dest));
    slot.shows->setText(text);
}

// The default emulator: the stored one, unless a slot gets a program now
// (B-Em first, then BeebEm, then ElectrEm); a choice of the user's stays.
void FrmSetUpEmulators::chooseDefault()
{
    if (defaultChosenByUser_)
        return;
    QString name = QString::fromStdString(stored_.cmbEmu);
    for (const Slot& slot : slots_) {
        if (slot.choice->currentIndex() > 0) {
            name = QString::fromUtf8(slotName(slot.emulator));
            break;
        }
    }
    const int index = cmbEmu->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    cmbEmu->setCurrentIndex(index < 0 ? 0 : index);
}

void FrmSetUpEmulators::lookInFolder(const QString& folder)
{
    search_.pickedFolder = QFile::encodeName(folder).toStdString();
    lookAgain();
    fillChoices(true);
}

void FrmSetUpEmulators::cmdFolder_Click()
{
    const QString folder = chooseFolder ? chooseFolder()
                                        : QFileDialog::getExistingDirectory(
                                              this, QStringLiteral("Look for emulators in"),
                                              QDir::homePath());
    if (!folder.isEmpty())
        lookInFolder(folder);
}

void FrmSetUpEmulators::message(const std::string& text)
{
    form1_.prompt().messageBox(text, PromptButtons::Ok, PromptIcon::Exclamation);
}

bool FrmSetUpEmulators::save()
{
    FormIniValues v = ReadIniValues(form1_.f);
    for (Slot& slot : slots_) {
        const int index = slot.choice->currentIndex();
        if (index <= 0)
            continue;
        std::string error;
        if (!PrepareSlotFolder(slot.emulator, appFolder(), &error)) {
            message(error + ".");
            return false;
        }
        v = ApplySlotSetting(v, slot.emulator, SlotSettingFor(slot.found[index - 1], appFolder()));
    }
    v.cmbEmu = cmbEmu->currentText().toStdString();
    const std::optional<Emulator> chosen = EmulatorByName(v.cmbEmu);
    if (chosen && storedSetting(v, *chosen).exec.empty()) {
        message("Choose a program for " + v.cmbEmu + ", or another Default emulator.");
        return false;
    }
    if (const std::string refusal = IncompleteMessage(v); !refusal.empty()) {
        message(refusal);
        return false;
    }
    std::string error;
    if (!WriteIni(form1_.f, v, &error)) {
        message("The settings could not be saved to \"" + IniFilePath(form1_.f) + "\": " + error +
                ".");
        return false;
    }
    form1_.f.sBeebEmu = v.cmbEmu;
    SetupEmulatorByName(form1_.f, v);
    form1_.syncEmulatorMenu();
    // An open Properties window shows the file as it is now.
    if (form1_.frmFormIni)
        form1_.frmFormIni->ReadIni();
    stored_ = v;
    fillChoices(false);
    return true;
}

void FrmSetUpEmulators::cmdSave_Click()
{
    if (save())
        close();
}

void FrmSetUpEmulators::cmdTryIt_Click()
{
    if (form1_.launchUnderWay())
        return;
    if (form1_.f.boolInternet) {
        message("Try it runs a title of the local catalogue: switch back to it with the Internet "
                "/ Local button first.");
        return;
    }
    if (!save())
        return;
    const Emulator chosen = *EmulatorByName(stored_.cmbEmu);
    const std::optional<int> row = TryItRow(form1_.f.MSFlexGrid, chosen);
    if (!row) {
        message(std::string("The catalogue holds no title that ") + slotName(chosen) +
                " can run.");
        return;
    }
    cmdCancel->setText(QStringLiteral("Close"));
    form1_.runFileDirectly(std::string(form1_.f.MSFlexGrid.TextMatrix(*row, kPathColumn)));
}

void FrmSetUpEmulators::cmdCancel_Click() { close(); }

} // namespace tavrin
