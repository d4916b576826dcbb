// The main window at any size, from the keyboard and to a screen reader.

#include "WindowFixture.h"
#include "diskimage/DiskCatalogue.h"
#include "windows/FrmInternet.h"
#include "windows/FrmSplash.h"
#include "windows/FrmUnpackProgress.h"
#include "windows/FrmUpdateImg.h"
#include "windows/GridView.h"
#include "windows/PictureButton.h"
#include "windows/ScaledLayout.h"
#include "windows/Twips.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QToolTip>

#include <cmath>

namespace tavrin::test {
namespace {

using FitAndReachTest = WindowTest;

TEST_F(FitAndReachTest, TheClientAreaScalesAsOnePictureByTheSmallerRatio)
{
    Form1& w = loadForm();
    w.show();
    const QSize design(twipsToPixels(1024 * 15, &w), twipsToPixels(768 * 15, &w));
    // At 96 dpi: 1024x768, 1280x1024, 1920x1080 and 800x600.
    const struct { double across, down, scale; } rows[] = {
        {1, 1, 1}, {1.25, 4 / 3.0, 1.25}, {1.875, 1.40625, 1.40625}, {0.78125, 0.78125, 0.78125}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.scale);
        w.resize(qRound(design.width() * r.across), qRound(design.height() * r.down));
        QCoreApplication::processEvents();
        ASSERT_DOUBLE_EQ(w.scaling().scale(), r.scale);
        const auto e = [&](int v) { return static_cast<int>(std::lround(v * r.scale)); };
        const auto at = [&](QRect d) {
            return QRect(QPoint(e(d.left()), e(d.top())),
                         QPoint(e(d.right() + 1) - 1, e(d.bottom() + 1) - 1));
        };
        EXPECT_EQ(w.picCmdNew->geometry(), at(twipsRect(270, 6900, 1935, 375, &w)));
        EXPECT_EQ(w.txtText1->geometry(), at(twipsRect(2520, 7800, 12555, 1335, &w)));
        EXPECT_EQ(w.Image1->geometry(),
                  at(QRect(twipsToPixels(8700, &w), twipsToPixels(2500, &w), 128, 191)))
            << "a placeholder's pixels scale too";
        EXPECT_EQ(w.MSFlexGridView->columnWidth(1), e(twipsToPixels(3000, &w)));
        EXPECT_DOUBLE_EQ(w.txtInfo->font().pointSizeF(), 8.25 * r.scale);
        EXPECT_EQ(w.client->x(), qRound(design.width() * (r.across - r.scale) / 2)) << "centred";
        EXPECT_TRUE(r.scale != 1 || w.client->pos() == QPoint(0, 0)) << "nothing moves";
    }
    EXPECT_EQ(w.txtInfo->toolTip(),
              "The extensions of the disk images found in the archives unpacked in this run");
}

TEST_F(FitAndReachTest, AColumnWidensByItsBorderAndACutOffCellShowsItsText)
{
    Form1& w = loadForm();
    w.show();
    auto* view = static_cast<GridView*>(w.MSFlexGridView);
    w.f.MSFlexGrid.setTextMatrix(1, 0, "Brackenwood Learning Systems");
    const auto tip = [&](int row) {
        QToolTip::hideText();
        const QPoint at = view->visualRect(w.f.MSFlexGrid.index(row, 0)).center();
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tip(0), "") << "Acorn fits";
    EXPECT_EQ(tip(1), "Brackenwood Learning Systems");
    const int width = view->columnWidth(0);
    const QPoint border(view->columnViewportPosition(0) + width, 5);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, border + QPoint(-1, 0));
    QTest::mouseMove(view->viewport(), border + QPoint(150, 0));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, border + QPoint(150, 0));
    EXPECT_EQ(view->columnWidth(0), width + 151);
    EXPECT_EQ(w.f.MSFlexGrid.Row(), 0) << "the drag selects nothing";
    EXPECT_EQ(tip(1), "") << "now it fits";
    // A reload keeps the width the user chose; the grid's own stays the start width.
    TransferFromAccess(w.f, w.f.sLocalDatabase, w.f.sLocalTable);
    EXPECT_EQ(view->columnWidth(0), width + 151);
    EXPECT_EQ(w.f.MSFlexGrid.ColWidth(0), 1300);
}

TEST_F(FitAndReachTest, AClickOrAKeyOnTheSplashGoesStraightToTheMainWindow)
{
    for (const bool key : {false, true}) {
        form = std::make_unique<Form1>(&prompt);
        form->f.sAppPath = dir.path().string();
        FrmSplash splash(*form);
        ASSERT_TRUE(splash.load());
        key ? QTest::keyClick(&splash, Qt::Key_Space)
            : QTest::mouseClick(splash.Image1, Qt::LeftButton);
        EXPECT_TRUE(form->isVisible() && !splash.isVisible() && !splash.tmrTimer1.isActive())
            << key;
    }
}

TEST_F(FitAndReachTest, TabGoesFromTheInformationLineThroughThePanelToTheButtons)
{
    const std::vector<uint8_t> blank = MakeBlankImage(); // the first row's image
    dir.write("Files/acorn/elite.ssd", std::string(blank.begin(), blank.end()));
    Form1& w = loadForm();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.picCmdCatImages_Click();
    w.txtInfo->setFocus(Qt::TabFocusReason);
    QStringList reached;
    for (int i = 0; i < 70 && !w.picCmdNew->hasFocus(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    EXPECT_TRUE(w.txtInfo->toPlainText().isEmpty()) << "Tab typed no tab";
    EXPECT_EQ(reached.mid(0, 4), (QStringList{"MSFlexGrid", "txtTitle", "TextExt", "txtFile1_1"}));
    EXPECT_EQ(reached.mid(reached.size() - 4),
              (QStringList{"txtFile1_62", "Option1", "cmdUpdateEdits", "picCmdNew"}));
}

TEST_F(FitAndReachTest, TheWindowsOfARunNameEveryControl)
{
    Form1& w = loadForm();
    FrmInternet download(w.f, prompt);
    FrmUpdateImg update(w.launcher());
    FrmUnpackProgress unpack("Files/acorn/elite.zip", &w);
    for (QWidget* window : std::initializer_list<QWidget*>{&download, &update, &unpack})
        EXPECT_EQ((window->show(), unnamedControls(QAccessible::queryAccessibleInterface(window))),
                  QStringList())
            << window->metaObject()->className();
}

} // namespace
} // namespace tavrin::test
