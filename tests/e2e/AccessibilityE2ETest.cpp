// The real program as a screen reader meets it: atspi_walk.py, in a D-Bus
// session of its own with the accessibility bus of at-spi2-core, opens each
// window and walks its accessible tree; every showing control has a name.

#include "E2eHarness.h"

#include <gtest/gtest.h>

using namespace tavrin::e2e;

namespace {

// A python that can speak AT-SPI, or none (the packages are missing).
QString atspiPython()
{
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        QProcess probe;
        probe.start(QString::fromUtf8(python), {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
        if (probe.waitForFinished(20000) && probe.exitCode() == 0)
            return QString::fromUtf8(python);
    }
    return {};
}

} // namespace

TEST(AccessibilityE2E, EveryShowingControlOfEveryWindowHasANameOverAtSpi)
{
    const QString python = atspiPython();
    if (python.isEmpty() || !fs::exists("/usr/libexec/at-spi-bus-launcher") ||
        !fs::exists("/usr/bin/dbus-run-session"))
        GTEST_SKIP() << "at-spi2-core, python3-pyatspi and dbus-daemon are needed "
                        "(bash scripts/setup installs them)";
    Xvfb x;
    AppFolder app;
    for (const char* name : {"bbc.mdb", "Images", "Files", "help.hlp", "keywords.hlp"})
        app.copyFromBuild(name);

    QProcess walk;
    walk.setProcessEnvironment(x.environment());
    walk.setProcessChannelMode(QProcess::MergedChannels);
    walk.start(QStringLiteral("dbus-run-session"),
               {QStringLiteral("--"), python,
                QStringLiteral(TAVRIN_SOURCE_DIR "/tests/e2e/atspi_walk.py"),
                QString::fromStdString((app / "tavrin").string())});
    ASSERT_TRUE(walk.waitForStarted(5000));
    const bool ended = walk.waitForFinished(150000);
    std::cout << walk.readAll().toStdString();
    ASSERT_TRUE(ended) << "the walk did not end";
    EXPECT_EQ(walk.exitCode(), 0) << "see the trees above";
}
