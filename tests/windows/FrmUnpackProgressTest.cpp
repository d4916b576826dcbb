// The window of an unpack: modal over the main window, shown only once the
// unpack lasts, the entry and the bytes written, and Cancel stopping it.

#include "WindowFixture.h"
#include "windows/FrmUnpackProgress.h"

#include <QPushButton>
#include <QTest>

#include <thread>

namespace tavrin {
namespace {

TEST(FrmUnpackProgress, ShowsTheBytesWrittenAndCancelStops)
{
    test::ensureApplication();
    Form1 form;
    std::unique_ptr<UnpackProgress> opened = FrmUnpackProgress::opener(&form)("Files\\Elite.zip");
    auto* window = dynamic_cast<FrmUnpackProgress*>(opened.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), &form);
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(window->report("ELITE.SSD", 0, 400));
    EXPECT_FALSE(window->isVisible()); // a quick unpack shows nothing
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(window->report("ELITE.SSD", 100, 400));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->value(), 250);
    EXPECT_EQ(window->labelText(), "Unpacking Elite.zip\nELITE.SSD");
    QTest::mouseClick(window->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_FALSE(window->report("ELITE.SSD", 200, 400));
}

} // namespace
} // namespace tavrin
