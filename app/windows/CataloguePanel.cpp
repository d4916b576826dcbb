#include "CataloguePanel.h"

#include "Accessibility.h"
#include "Twips.h"
#include "catalogue/CatalogueGrid.h"
#include "core/Form1State.h"
#include "core/Prompt.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace tavrin
{
namespace
{

// Positions in twips inside Frame3, which is 7845 by 4935 twips.
constexpr int kTitleLeft = 240, kTitleTop = 300, kTitleWidth = 2700, kBoxHeight = 315;
constexpr int kExtLeft = 3060, kExtWidth = 900;
// Why "Update" is off: right of the extension, above Frame1.
constexpr int kUpdateOffLeft = 4080, kUpdateOffTop = 90, kUpdateOffWidth = 3645,
              kUpdateOffHeight = 600;
// The 62 entries stand in 5 columns of 13, numbered down each column.
constexpr int kFrame1Left = 120, kFrame1Top = 705, kFrame1Width = 7605, kFrame1Height = 3585;
constexpr int kEntryRows = 13;
constexpr int kEntryLeft = 105, kEntryTop = 195, kEntryPitchX = 1485, kEntryPitchY = 255;
constexpr int kEntryWidth = 1440, kEntryHeight = 255;
constexpr int kFrame2Left = 120, kFrame2Top = 4335, kFrame2Width = 6600, kFrame2Height = 495;
constexpr int kOptionLeft = 150, kOptionTop = 165, kOptionPitch = 1620, kOptionSize = 255;
constexpr int kOptionLabelGap = 270, kOptionLabelWidth = 1200;
// "Update" stands at 14100, 6060 of the main window; Frame3 at 7200, 1680.
constexpr int kUpdateLeft = 14100 - 7200, kUpdateTop = 6060 - 1680;
constexpr int kUpdateWidth = 855, kUpdateHeight = 315;

// A fixed-pitch font stands in for "Terminal".
QFont terminalFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(8);
    return font;
}

QLineEdit* textBox(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// A read-only text box that shows a fixed text as a label would.
QLineEdit* labelBox(QWidget* parent, const QString& name, const QString& text,
                    const QRect& geometry)
{
    QLineEdit* box = textBox(parent, name, geometry);
    // The option button beside it carries the same name.
    markDecoration(box);
    box->setText(text);
    box->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setProperty("labelBox", true);
    return box;
}

// The panel's look: yellow on black as the rest of the window, the boxes and
// frames outlined in the purple of the grid's lines so that each of the 62
// boxes shows, and option buttons that show on black, sized for the scale.
QString panelStyle(double scale)
{
    const QString yellow = colorFromBgr(kYellow).name();
    const QString purple = colorFromBgr(kPurple).name();
    const int mark = std::max(5, static_cast<int>(std::lround(9 * scale)));
    return QStringLiteral(
               "QLineEdit { color: %1; background: black; border: 1px solid %2; padding: 0px; }"
               "QLineEdit[labelBox=\"true\"] { border: none; background: transparent; }"
               "QGroupBox { border: 1px solid %2; margin: 0px; }"
               "QRadioButton::indicator { width: %3px; height: %3px; border: 1px solid %1;"
               " border-radius: %4px; background: black; }"
               "QRadioButton::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5,"
               " radius:0.5, fx:0.5, fy:0.5, stop:0 %1, stop:0.5 %1, stop:0.6 black,"
               " stop:1 black); }")
        .arg(yellow, purple)
        .arg(mark)
        .arg((mark + 1) / 2);
}

} // namespace

CataloguePanel::CataloguePanel(QWidget* frame3, Form1State& f, Prompt& prompt)
    : QObject(frame3), Frame3(frame3), f_(f), prompt_(prompt)
{
    build();
    ShowPictureView();
    followSelection();

    // Any change of the grid's rows or current cell may leave the panel
    // showing another file than the selected row's.
    FlexGrid* grid = &f_.MSFlexGrid;
    connect(grid, &FlexGrid::currentCellChanged, this, [this] { followSelection(); });
    connect(grid, &QAbstractItemModel::dataChanged, this, [this] { followSelection(); });
    connect(grid, &QAbstractItemModel::modelReset, this, [this] { followSelection(); });
    connect(grid, &QAbstractItemModel::layoutChanged, this, [this] { followSelection(); });
    connect(grid, &QAbstractItemModel::rowsInserted, this, [this] { followSelection(); });
    connect(grid, &QAbstractItemModel::rowsRemoved, this, [this] { followSelection(); });
}

void CataloguePanel::build()
{
    QWidget* w = Frame3;
    txtTitle = textBox(w, QStringLiteral("txtTitle"),
                       twipsRect(kTitleLeft, kTitleTop, kTitleWidth, kBoxHeight, w));
    TextExt = textBox(w, QStringLiteral("TextExt"),
                      twipsRect(kExtLeft, kTitleTop, kExtWidth, kBoxHeight, w));
    TextExt->setReadOnly(true);
    txtTitle->setAccessibleName(QStringLiteral("Disk title"));
    TextExt->setAccessibleName(QStringLiteral("File extension"));
    Frame3->setAccessibleName(QStringLiteral("Disk catalogue"));
    // Twelve characters are what the catalogue holds.
    txtTitle->setMaxLength(static_cast<int>(dfs::kTitleLength));
    lblUpdateOff = new QLabel(w);
    lblUpdateOff->setObjectName(QStringLiteral("lblUpdateOff"));
    lblUpdateOff->setGeometry(
        twipsRect(kUpdateOffLeft, kUpdateOffTop, kUpdateOffWidth, kUpdateOffHeight, w));
    lblUpdateOff->setWordWrap(true);
    lblUpdateOff->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Frame1 = new QGroupBox(w);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAccessibleName(QStringLiteral("Files on the disk"));
    Frame1->setGeometry(twipsRect(kFrame1Left, kFrame1Top, kFrame1Width, kFrame1Height, w));
    const QFont entryFont = terminalFont();
    for (int n = 1; n <= dfs::kMaxEntries; ++n) {
        const int column = (n - 1) / kEntryRows;
        const int row = (n - 1) % kEntryRows;
        QLineEdit* box = textBox(Frame1, QStringLiteral("txtFile1_%1").arg(n),
                                 twipsRect(kEntryLeft + column * kEntryPitchX,
                                           kEntryTop + row * kEntryPitchY, kEntryWidth,
                                           kEntryHeight, w));
        box->setFont(entryFont);
        box->setTextMargins(1, 0, 0, 0);
        // The entries are shown only; title and boot option are what "Update" writes.
        box->setReadOnly(true);
        box->setAccessibleName(QStringLiteral("Entry %1").arg(n));
        txtFile1[static_cast<size_t>(n)] = box;
    }

    Frame2 = new QGroupBox(w);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setAccessibleName(QStringLiteral("Boot option"));
    Frame2->setGeometry(twipsRect(kFrame2Left, kFrame2Top, kFrame2Width, kFrame2Height, w));
    optionGroup_ = new QButtonGroup(this);
    QRadioButton** optionSlots[] = {&Option1, &Option2, &Option3, &Option4};
    QLineEdit** labelSlots[] = {&Text1, &Text2, &Text3, &Text4};
    for (int i = 0; i < 4; ++i) {
        const int left = kOptionLeft + i * kOptionPitch;
        auto* option = new QRadioButton(Frame2);
        option->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        option->setGeometry(twipsRect(left, kOptionTop, kOptionSize, kOptionSize, w));
        optionGroup_->addButton(option, i);
        *optionSlots[i] = option;
        option->setAccessibleName(QString::fromUtf8(
            kBootOptionLabels[static_cast<size_t>(i)].data(),
            static_cast<qsizetype>(kBootOptionLabels[static_cast<size_t>(i)].size())));
        *labelSlots[i] = labelBox(
            Frame2, QStringLiteral("Text%1").arg(i + 1),
            QString::fromUtf8(kBootOptionLabels[static_cast<size_t>(i)].data(),
                              static_cast<qsizetype>(kBootOptionLabels[static_cast<size_t>(i)].size())),
            twipsRect(left + kOptionLabelGap, kOptionTop, kOptionLabelWidth, kOptionSize, w));
    }

    cmdUpdateEdits = new QPushButton(QStringLiteral("Update"), w);
    cmdUpdateEdits->setObjectName(QStringLiteral("cmdUpdateEdits"));
    QFont bold = cmdUpdateEdits->font();
    bold.setBold(true);
    cmdUpdateEdits->setFont(bold);
    cmdUpdateEdits->setGeometry(twipsRect(kUpdateLeft, kUpdateTop, kUpdateWidth, kUpdateHeight, w));
    connect(cmdUpdateEdits, &QPushButton::clicked, this, &CataloguePanel::WriteDiskCatalogue);

    setScale(1.0);
    lblUpdateOff->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }")
                                    .arg(colorFromBgr(kYellow).name()));
    QFont small = lblUpdateOff->font();
    small.setPointSizeF(7);
    lblUpdateOff->setFont(small);
}

void CataloguePanel::setScale(double scale)
{
    const QString style = panelStyle(scale);
    for (QWidget* control : std::initializer_list<QWidget*>{txtTitle, TextExt, Frame1, Frame2})
        if (control->styleSheet() != style)
            control->setStyleSheet(style);
}

std::array<QRadioButton*, 4> CataloguePanel::options() const
{
    return {Option1, Option2, Option3, Option4};
}

void CataloguePanel::setPanelVisible(bool visible)
{
    for (QWidget* control : std::initializer_list<QWidget*>{
             txtTitle, Frame1, Frame2, Option1, Option2, Option3, Option4, Text1, Text2, Text3,
             Text4, TextExt, cmdUpdateEdits})
        control->setVisible(visible);
    for (int n = 1; n <= dfs::kMaxEntries; ++n)
        txtFile1[static_cast<size_t>(n)]->setVisible(visible);
    Frame3->setVisible(visible);
    followSelection();
}

void CataloguePanel::ShowPictureView() { setPanelVisible(false); }

void CataloguePanel::ShowCataloguePanel()
{
    setPanelVisible(true);
    Frame3->raise();
}

void CataloguePanel::ShowSelectedCatalogue()
{
    const CataloguePanelState::Shown shown =
        state_.ShowSelectedCatalogue(f_, f_.mnuElectrEmChecked);
    TextExt->setText(QString::fromStdString(state_.textExt()));
    if (shown.outcome != CataloguePanelState::Outcome::Kept)
        showState();
    followSelection();
    if (!shown.message.empty())
        prompt_.messageBox(shown.message, PromptButtons::Ok, PromptIcon::Exclamation);
}

void CataloguePanel::ReadDiskCatalogue()
{
    const std::string message = state_.ReadDiskCatalogue(f_.sFullFilename);
    showState();
    followSelection();
    if (!message.empty())
        prompt_.messageBox(message, PromptButtons::Ok, PromptIcon::Exclamation);
}

void CataloguePanel::WriteDiskCatalogue()
{
    followSelection();
    if (!state_.CanUpdate(f_))
        return;
    const std::string message =
        state_.WriteDiskCatalogue(f_, txtTitle->text().toStdString(), checkedBootOption());
    if (!message.empty())
        prompt_.messageBox(message, PromptButtons::Ok, PromptIcon::Exclamation);
}

void CataloguePanel::ClearCataloguePanel()
{
    state_.ClearCataloguePanel();
    showState();
    followSelection();
}

void CataloguePanel::followSelection()
{
    cmdUpdateEdits->setEnabled(state_.CanUpdate(f_));
    const QString why = QString::fromStdString(state_.UpdateRefusal());
    lblUpdateOff->setText(why);
    lblUpdateOff->setToolTip(why);
    cmdUpdateEdits->setToolTip(why);
    lblUpdateOff->setVisible(!txtTitle->isHidden() && !why.isEmpty());
}

void CataloguePanel::followSelectionOf(QItemSelectionModel* selection)
{
    connect(selection, &QItemSelectionModel::currentChanged, this, [this] { followSelection(); });
}

std::optional<int> CataloguePanel::checkedBootOption() const
{
    const int id = optionGroup_->checkedId();
    return id >= 0 ? std::optional<int>(id) : std::nullopt;
}

void CataloguePanel::showState()
{
    const DiskCatalogue& catalogue = state_.catalogue();
    // Control characters show escaped (\x07), which may take more than the
    // twelve characters a typed title may have.
    const QString title = QString::fromStdString(state_.shownTitle());
    txtTitle->setMaxLength(std::max(static_cast<int>(dfs::kTitleLength), int(title.size())));
    txtTitle->setText(title);
    for (int n = 1; n <= dfs::kMaxEntries; ++n)
        txtFile1[static_cast<size_t>(n)]->setText(QString::fromStdString(state_.shownEntry(n)));
    // An exclusive group keeps one button checked; it lets go for the moment
    // all four are unchecked.
    optionGroup_->setExclusive(false);
    for (QRadioButton* option : options())
        option->setChecked(false);
    optionGroup_->setExclusive(true);
    if (catalogue.bootOption)
        options()[static_cast<size_t>(*catalogue.bootOption)]->setChecked(true);
}

} // namespace tavrin
