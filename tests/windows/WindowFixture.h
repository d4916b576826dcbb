#pragma once
// A main window in a fresh application folder of its own: the shipped
// pictures and help files, a catalogue the test writes, and the folder as the
// current folder for the test's length. Messages go to a ScriptedPrompt.

#include "TempDir.h"
#include "catalogue/CatalogueFixture.h"
#include "core/Prompt.h"
#include "windows/Form1.h"

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace tavrin::test {

inline void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tavrin_windows_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
}

// Files of the shipped data folder copied into a test's application folder.
inline void copyShipped(const std::filesystem::path& to, const std::string& name)
{
    const auto from = std::filesystem::path(TAVRIN_SOURCE_DIR) / "data" / name;
    std::filesystem::copy(from, to / name,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
}

// Three titles of two publishers, first in the table's order the one that
// sorts last.
inline std::vector<Record> sampleRecords()
{
    return {
        rec("Zeta Soft", "Alpha Quest", "Adventure", "Files\\zeta\\alpha.ssd", 0, "An adventure"),
        rec("Acorn", "Welcome", "Utility", "Files\\acorn\\welcome.ssd", 1, "The welcome disc"),
        rec("Acorn", "Elite", "Arcade", "Files\\acorn\\elite.ssd", 2, ""),
    };
}

// The showing controls of a window that a screen reader finds without a name.
inline QStringList unnamedControls(QAccessibleInterface* a)
{
    using R = QAccessible::Role;
    const QList<R> none = {R::Client, R::Pane, R::Grouping, R::StaticText, R::ScrollBar, R::Separator};
    QStringList found;
    if (a && !a->state().invisible && a->text(QAccessible::Name).isEmpty() && !none.contains(a->role()))
        found << a->object()->objectName();
    for (int i = 0; a && !a->state().invisible && i < a->childCount(); ++i)
        found << unnamedControls(a->child(i));
    return found;
}

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        copyShipped(dir.path(), "Images");
        writeCatalogue((dir / "bbc.mdb").string(), records());
    }

    void TearDown() override
    {
        form.reset();
        QCoreApplication::processEvents();
    }

    virtual std::vector<Record> records() const { return sampleRecords(); }

    Form1& loadForm()
    {
        form = std::make_unique<Form1>(&prompt);
        form->f.sAppPath = dir.path().string();
        EXPECT_TRUE(form->load());
        return *form;
    }

    TempDir dir;
    CurrentDir current{dir.path()};
    ScriptedPrompt prompt;
    std::unique_ptr<Form1> form;
};

} // namespace tavrin::test
