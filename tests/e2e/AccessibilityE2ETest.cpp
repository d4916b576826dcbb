// The real program as a screen reader meets it: atspi_walk.py, in a D-Bus session of its own
// with at-spi2-core's accessibility bus, opens each window and walks its accessible tree.

#include "E2eHarness.h"

#include <gtest/gtest.h>

using namespace tavrin::e2e;

TEST(AccessibilityE2E, EveryShowingControlOfEveryWindowHasANameOverAtSpi)
{
    // Debian's python, which python3-pyatspi is for (PATH may name another).
    const QString python = QStringLiteral("/usr/bin/python3");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import pyatspi")}) != 0 ||
        !fs::exists("/usr/libexec/at-spi-bus-launcher") || !fs::exists("/usr/bin/dbus-run-session"))
        GTEST_SKIP() << "at-spi2-core, python3-pyatspi and dbus-daemon are needed (scripts/setup)";
    Xvfb x;
    AppFolder app;
    for (const char* name : {"bbc.mdb", "Images", "Files", "help.hlp", "keywords.hlp"})
        app.copyFromBuild(name);
    QProcess walk;
    walk.setProcessEnvironment(x.environment());
    walk.setProcessChannelMode(QProcess::MergedChannels);
    walk.start(QStringLiteral("dbus-run-session"),
               {QStringLiteral("--"), python, QStringLiteral(TAVRIN_SOURCE_DIR "/tests/e2e/atspi_walk.py"),
                QString::fromStdString((app / "tavrin").string())});
    const bool ended = walk.waitForFinished(150000);
    std::cout << walk.readAll().toStdString();
    ASSERT_TRUE(ended) << "the walk did not end";
    EXPECT_EQ(walk.exitCode(), 0) << "see the lines above";
}
