// Caps Lock: switched only when it differs from the wanted state, on a fake
// keyboard; and on a real X server through XKB, on before a PcBBC launch
// attempt and off after it.

#include "LaunchFixture.h"

#include "e2e/E2eHarness.h"
#include "launch/Keyboard.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace tavrin {
namespace {

using namespace test;

TEST(Keyboard, SetCapsLockSwitchesOnlyAChange)
{
    struct Case {
        bool locked, wanted;
        int locks;
    };
    for (const Case& c : {Case{true, false, 1}, Case{false, false, 0}, Case{false, true, 1}, Case{true, true, 0}}) {
        FakeKeyboard k;
        k.locked = c.locked;
        SetCapsLock(k, c.wanted);
        EXPECT_EQ(k.locked, c.wanted);
        EXPECT_EQ(k.locks, c.locks);
        EXPECT_EQ(CapsLockOn(k), c.wanted);
    }
}

TEST(Keyboard, NoDisplayReadsOffAndSetsNothing)
{
    X11Keyboard none(":9999");
    EXPECT_FALSE(none.capsLockLocked());
    none.lockCapsLock(true);
    EXPECT_FALSE(none.capsLockLocked());
}

TEST(Keyboard, PcBBCLaunchSwitchesCapsLockOffOnARealXServer)
{
    e2e::Xvfb x;
    // The program's own windows keep a connection open; without any, the
    // server would reset, and forget Caps Lock, as each call disconnects.
    Display* window = XOpenDisplay(x.display().c_str());
    ASSERT_NE(window, nullptr);
    X11Keyboard keyboard(x.display());
    keyboard.lockCapsLock(true);
    ASSERT_TRUE(CapsLockOn(keyboard));

    LaunchFolder app({"Files\\game.uef"});
    app.write("Files/game.uef", "uef");
    app.choose(Emulator::PcBBC);
    app.f.MSFlexGrid.setRow(0);
    Launcher(app.f, app.prompt, keyboard, {}).RunSelection();
    ASSERT_EQ(app.prompt.shown.size(), 1u);
    EXPECT_FALSE(CapsLockOn(keyboard));
    XCloseDisplay(window);
}

} // namespace
} // namespace tavrin
