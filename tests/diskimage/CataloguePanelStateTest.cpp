// The catalogue panel's state: which file it shows, when it is cleared or
// kept, and when "Update" may write; the blank image dialog's "Create".

#include "FailingFiles.h"
#include "ImageBytes.h"
#include "ImageFiles.h"
#include "TapeBytes.h"

#include "core/Form1State.h"
#include "diskimage/CataloguePanelState.h"
#include "diskimage/DiskImageFile.h"
#include "diskimage/ImageTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::test;
using Outcome = CataloguePanelState::Outcome;

namespace
{

Bytes imageTitled(std::string_view title8, uint8_t boot)
{
    Bytes image = zeroImage(0x400);
    put(image, 0, title8);
    putEntry(image, 1, "ELITE", 0xA4);
    image[0x106] = boot;
    image[0x107] = 0x20;
    return image;
}

struct ExtensionCase {
    std::string path;
    std::string ext;
    bool disk;
};

class Extension : public testing::TestWithParam<ExtensionCase>
{
};

TEST_P(Extension, IsTheLastFourCharactersInLowerCase)
{
    EXPECT_EQ(ExtensionOf(GetParam().path), GetParam().ext);
    EXPECT_EQ(IsDiskImageExtension(ExtensionOf(GetParam().path)), GetParam().disk);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Extension,
    testing::Values(ExtensionCase{"Disks\\Acme\\ELITE.SSD", ".ssd", true},
                    ExtensionCase{"a.dsd", ".dsd", true}, ExtensionCase{"b.Img", ".img", true},
                    ExtensionCase{"c.BBC", ".bbc", true}, ExtensionCase{"d.zip", ".zip", false},
                    ExtensionCase{"e.uef", ".uef", false}, ExtensionCase{"f.ssd ", "ssd ", false},
                    ExtensionCase{"ssd", "ssd", false}, ExtensionCase{"", "", false},
                    ExtensionCase{"g\u00C9.SSD", ".ssd", true},
                    ExtensionCase{"Xcaf\u00C9", "caf\u00E9", false}));

// Form1's state with a grid of rows whose column 3 holds the given files.
class PanelState : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        f_.MSFlexGrid.setCols(8);
    }
    std::string path(const std::string& name) const
    {
        return (fs::path(dir_.path().toStdString()) / name).string();
    }
    void rows(const std::vector<std::string>& files)
    {
        f_.MSFlexGrid.setRows(static_cast<int>(files.size()));
        for (size_t r = 0; r < files.size(); ++r)
            f_.MSFlexGrid.setTextMatrix(static_cast<int>(r), 3, files[r]);
    }
    void select(int row) { f_.MSFlexGrid.setRow(row); }

    QTemporaryDir dir_;
    Form1State f_;
    CataloguePanelState panel_;
};

TEST_F(PanelState, ShowsTheSelectedImageAndMayUpdateIt)
{
    writeFile(path("one.ssd"), imageTitled("ONE", 0x13));
    rows({path("one.ssd")});
    const auto shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Read);
    EXPECT_EQ(shown.message, "");
    EXPECT_EQ(f_.sFullFilename, path("one.ssd"));
    EXPECT_EQ(f_.sExt, ".ssd");
    EXPECT_EQ(panel_.textExt(), ".ssd");
    EXPECT_EQ(panel_.shownFile(), path("one.ssd"));
    EXPECT_EQ(panel_.catalogue().title, "ONE");
    EXPECT_EQ(panel_.catalogue().entries[0], "$.ELITE   L");
    EXPECT_EQ(panel_.catalogue().bootOption, 1);
    EXPECT_TRUE(panel_.CanUpdate(f_));
}

TEST_F(PanelState, OtherFilesAndEmptyPathsClearThePanel)
{
    writeFile(path("one.ssd"), imageTitled("ONE", 0x03));
    rows({path("one.ssd"), path("game.zip"), "", path("tape.UEF")});
    panel_.ShowSelectedCatalogue(f_, false);

    select(1);
    auto shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Cleared);
    EXPECT_EQ(panel_.textExt(), ".zip");
    EXPECT_EQ(panel_.catalogue().title, "");
    EXPECT_EQ(panel_.catalogue().entries[0], "");
    EXPECT_EQ(panel_.catalogue().bootOption, std::nullopt);
    EXPECT_FALSE(panel_.CanUpdate(f_));

    // A row without a file keeps the extension before it; there is nothing to read.
    select(0);
    panel_.ShowSelectedCatalogue(f_, false);
    select(2);
    shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Cleared);
    EXPECT_EQ(f_.sFullFilename, "");
    EXPECT_EQ(f_.sExt, ".ssd");
    EXPECT_EQ(panel_.textExt(), ".ssd");
    EXPECT_EQ(panel_.shownFile(), "");
    EXPECT_EQ(shown.message, "");

    // A tape is read (see below); one that is missing is told.
    select(3);
    shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Failed);
    EXPECT_EQ(shown.message, "The files of the tape image cannot be shown.\n\nCannot open \"" +
                                 path("tape.UEF") + "\": No such file or directory.");
    EXPECT_EQ(panel_.textExt(), ".uef");
}

TEST_F(PanelState, ATapeShowsItsFilesReadOnlyWhicheverEmulatorIsSelected)
{
    std::vector<Bytes> chunks;
    for (int n = 0; n < 64; ++n) {
        Bytes block = fileBlocks("PART" + std::to_string(n), 0x1900, 0x8023, Bytes(90, 'p'))[0];
        block.back() ^= n == 2 ? 1 : 0;
        chunks.insert(chunks.end(), {carrier(), uefChunk(0x0100, block)});
    }
    writeFile(path("parts.uef"), gzipped(uefFile(chunks)));
    writeFile(path("one.ssd"), imageTitled("ONE", 0x03));
    rows({path("one.ssd"), path("parts.uef")});
    for (bool electron : {true, false}) {
        select(1);
        EXPECT_EQ(panel_.ShowSelectedCatalogue(f_, electron).outcome, Outcome::Read);
        EXPECT_EQ(panel_.catalogue().title, "PART0");
        EXPECT_EQ(panel_.catalogue().entries[0], "PART0       ");
        EXPECT_EQ(panel_.catalogue().entries[2], "PART2     ! ");
        EXPECT_EQ(panel_.catalogue().entries[61], "PART61      ");
        EXPECT_EQ(panel_.catalogue().bootOption, std::nullopt);
        EXPECT_FALSE(panel_.CanUpdate(f_));
        EXPECT_EQ(panel_.UpdateRefusal(),
                  "Update is off, as this is a tape image: its 64 files are shown only, the first "
                  "62 here; ! marks a file with a block missing or a CRC wrong.");
        // With ElectrEm a disk row leaves the tape shown; with another emulator it is read.
        select(0);
        panel_.ShowSelectedCatalogue(f_, electron);
        EXPECT_EQ(panel_.catalogue().title, electron ? "PART0" : "ONE");
    }
}

TEST_F(PanelState, AnImageThatCannotBeReadIsToldAndLeavesThePanelCleared)
{
    writeFile(path("one.ssd"), imageTitled("ONE", 0x03));
    writeFile(path("folder"), Bytes(4, 0)); // a file where a folder should be
    rows({path("one.ssd"), path("missing.ssd"), path("folder/two.ssd")});
    panel_.ShowSelectedCatalogue(f_, false);

    select(1);
    auto shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Failed);
    EXPECT_EQ(shown.message, "The catalogue of the disk image cannot be shown.\n\nCannot open \"" +
                                 path("missing.ssd") + "\": No such file or directory.");
    EXPECT_EQ(panel_.catalogue().title, "");
    EXPECT_EQ(panel_.shownFile(), "");
    EXPECT_FALSE(panel_.CanUpdate(f_));

    select(2);
    shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Failed);
    EXPECT_EQ(shown.message, "The catalogue of the disk image cannot be shown.\n\nCannot open \"" +
                                 path("folder/two.ssd") + "\": Not a directory.");
}

TEST_F(PanelState, WithTheElectronEmulatorOnlyTheExtensionFollows)
{
    writeFile(path("one.ssd"), imageTitled("ONE", 0x03));
    writeFile(path("two.ssd"), imageTitled("TWO", 0x33));
    rows({path("one.ssd"), path("two.ssd"), path("x.zip")});
    panel_.ShowSelectedCatalogue(f_, false);
    ASSERT_TRUE(panel_.CanUpdate(f_));

    select(1);
    const auto shown = panel_.ShowSelectedCatalogue(f_, true);
    EXPECT_EQ(shown.outcome, Outcome::Kept);
    EXPECT_EQ(f_.sFullFilename, path("two.ssd"));
    EXPECT_EQ(panel_.textExt(), ".ssd");
    EXPECT_EQ(panel_.catalogue().title, "ONE");
    EXPECT_EQ(panel_.shownFile(), path("one.ssd"));
    // The panel shows ONE, the current file is TWO: "Update" has nothing to act on.
    EXPECT_FALSE(panel_.CanUpdate(f_));
    EXPECT_EQ(panel_.WriteDiskCatalogue(f_, "WRONG", 2), "");
    EXPECT_EQ(readFile(path("two.ssd")), imageTitled("TWO", 0x33));
    EXPECT_EQ(readFile(path("one.ssd")), imageTitled("ONE", 0x03));

    select(2);
    EXPECT_EQ(panel_.ShowSelectedCatalogue(f_, true).outcome, Outcome::Kept);
    EXPECT_EQ(panel_.textExt(), ".zip");
    EXPECT_EQ(panel_.catalogue().title, "ONE");

    // Back on the row the panel shows, "Update" acts on it again.
    select(0);
    panel_.ShowSelectedCatalogue(f_, true);
    EXPECT_TRUE(panel_.CanUpdate(f_));
}

TEST_F(PanelState, UpdateActsOnlyWhileTheShownImageIsSelected)
{
    writeFile(path("one.ssd"), imageTitled("ONE", 0x03));
    writeFile(path("two.ssd"), imageTitled("TWO", 0x03));
    rows({path("one.ssd"), path("two.ssd")});
    panel_.ShowSelectedCatalogue(f_, false);

    // The row moves without the panel following (keyboard, sort).
    select(1);
    EXPECT_FALSE(panel_.CanUpdate(f_));
    EXPECT_EQ(panel_.WriteDiskCatalogue(f_, "WRONG", 3), "");
    EXPECT_EQ(readFile(path("one.ssd")), imageTitled("ONE", 0x03));
    EXPECT_EQ(readFile(path("two.ssd")), imageTitled("TWO", 0x03));

    // The row's file was edited to another one.
    select(0);
    ASSERT_TRUE(panel_.CanUpdate(f_));
    f_.MSFlexGrid.setTextMatrix(0, 3, path("two.ssd"));
    EXPECT_FALSE(panel_.CanUpdate(f_));
    f_.MSFlexGrid.setTextMatrix(0, 3, path("one.ssd"));

    // sFullFilename set elsewhere.
    f_.sFullFilename = path("two.ssd");
    EXPECT_FALSE(panel_.CanUpdate(f_));
    f_.sFullFilename = path("one.ssd");

    ASSERT_TRUE(panel_.CanUpdate(f_));
    EXPECT_EQ(panel_.WriteDiskCatalogue(f_, "Exile", 3), "");
    Bytes expected = imageTitled("Exile   ", 0x33);
    put(expected, 0x100, "    ");
    EXPECT_EQ(readFile(path("one.ssd")), expected);
    EXPECT_EQ(readFile(path("two.ssd")), imageTitled("TWO", 0x03));
}

TEST_F(PanelState, UpdateWithoutAnOptionLeavesByte0x106)
{
    writeFile(path("forty.ssd"), imageTitled("FORTY", 0x25));
    rows({path("forty.ssd")});
    panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(panel_.catalogue().bootOption, std::nullopt);
    EXPECT_EQ(panel_.WriteDiskCatalogue(f_, panel_.catalogue().title, std::nullopt), "");
    EXPECT_EQ(readFile(path("forty.ssd")), imageTitled("FORTY", 0x25));
}

TEST_F(PanelState, UpdateWritesOnlyWhatTheUserChangedInTheFormShown)
{
    // BEL, ESC, DEL and a backslash in the title, as the panel shows them.
    const Bytes before = imageTitled("A\x07\x1B\x7F\\B", 0x03);
    writeFile(path("ctrl.ssd"), before);
    rows({path("ctrl.ssd")});
    panel_.ShowSelectedCatalogue(f_, false);
    const std::string shown = "A\\x07\\x1B\\x7F\\\\B";
    EXPECT_EQ(panel_.WriteDiskCatalogue(f_, shown, 0), "");
    EXPECT_EQ(readFile(path("ctrl.ssd")), before);
    Bytes expected = before;
    put(expected, 0x100, "    ");
    for (const auto& [typed, bytes] : {std::pair{"A\\x07\\\\Z\\x", "A\x07\\Z\\x  "},
                                       std::pair{shown.c_str(), "A\x07\x1B\x7F\\B  "}}) {
        EXPECT_EQ(panel_.WriteDiskCatalogue(f_, typed, 0), "");
        put(expected, 0, bytes);
        EXPECT_EQ(readFile(path("ctrl.ssd")), expected);
    }
}

TEST_F(PanelState, AFailedUpdateIsTold)
{
    writeFile(path("gone.ssd"), imageTitled("GONE", 0x03));
    writeFile(path("one.ssd"), imageTitled("ONE", 0x03));
    rows({path("gone.ssd"), path("one.ssd")});
    ASSERT_EQ(panel_.ShowSelectedCatalogue(f_, false).outcome, Outcome::Read);
    fs::remove(path("gone.ssd"));
    EXPECT_EQ(panel_.WriteDiskCatalogue(f_, "X", 0),
              "The title and boot option were not written.\n\nCannot open \"" + path("gone.ssd") +
                  "\": No such file or directory.");

    select(1);
    panel_.ShowSelectedCatalogue(f_, false);
    std::string message;
    {
        FileSizeLimit full;
        message = panel_.WriteDiskCatalogue(f_, "X", 0);
    }
    EXPECT_EQ(message, "The title and boot option were not written.\n\nCannot write the "
                       "catalogue of \"" +
                           path("one.ssd") + "\": File too large.");
    EXPECT_EQ(readFile(path("one.ssd")), imageTitled("ONE", 0x03));
}

TEST_F(PanelState, WhatIsNoDfsImageIsShownWithUpdateOffAndTheReason)
{
    Bytes zip = imageTitled("PK\x03\x04    ", 0x03);
    zip.resize(0x700);
    put(zip, 0x201, "Hugo"), put(zip, 0x6FB, "Hugo"); // and the root directory of an ADFS disk
    for (const auto& [name, kind] :
         {std::pair{"zip.ssd", "a zip archive"}, std::pair{"adfs.img", "an ADFS disk image"}}) {
        writeFile(path(name), zip);
        rows({path(name)});
        ASSERT_EQ(panel_.ShowSelectedCatalogue(f_, false).outcome, Outcome::Read);
        EXPECT_EQ(panel_.catalogue().entries[0], "");
        EXPECT_FALSE(panel_.CanUpdate(f_));
        EXPECT_EQ(panel_.UpdateRefusal().find("This is " + std::string(kind) + ", not a DFS"), 0u);
        EXPECT_EQ(panel_.WriteDiskCatalogue(f_, "X", 0), "");
        EXPECT_EQ(readFile(path(name)), zip);
        put(zip, 0, "ADFS");
    }
    panel_.ClearCataloguePanel();
    EXPECT_EQ(panel_.UpdateRefusal(), "");
}

TEST_F(PanelState, AShortFileShowsWhatItHoldsAndNothingFails)
{
    Bytes image = zeroImage(0x20);
    put(image, 0, "SHORT\0\0\0");
    putEntry(image, 1, "A", 0x24);
    putEntry(image, 3, "C", 0x24); // ends at 0x20
    writeFile(path("short.bbc"), image);
    rows({path("short.bbc")});
    const auto shown = panel_.ShowSelectedCatalogue(f_, false);
    EXPECT_EQ(shown.outcome, Outcome::Read);
    EXPECT_EQ(panel_.catalogue().title, "SHORT");
    EXPECT_EQ(panel_.catalogue().entries[0], "$.A        ");
    EXPECT_EQ(panel_.catalogue().entries[2], "$.C        ");
    EXPECT_EQ(panel_.catalogue().entries[3], "");
    EXPECT_EQ(panel_.catalogue().bootOption, std::nullopt);
}

TEST_F(PanelState, TheBlankImageReadsBackEmptyWithNothingChecked)
{
    ASSERT_TRUE(CreateImgFile(dir_.path().toStdString(), "Blank.IMG").created);
    rows({path("Blank.IMG")});
    ASSERT_EQ(panel_.ShowSelectedCatalogue(f_, false).outcome, Outcome::Read);
    EXPECT_EQ(panel_.catalogue().title, "");
    for (const std::string& entry : panel_.catalogue().entries)
        EXPECT_EQ(entry, "");
    EXPECT_EQ(panel_.catalogue().bootOption, 0);
    EXPECT_EQ(panel_.textExt(), ".img");
}

TEST_F(PanelState, CreateChecksTheExtensionAndTellsTheOutcome)
{
    const std::string folder = dir_.path().toStdString();
    for (const char* refused : {"blank.ssd", "blank", "blank.img ", "img", ""}) {
        const CreateImgOutcome outcome = CreateImgFile(folder, refused);
        EXPECT_FALSE(outcome.created) << refused;
        EXPECT_EQ(outcome.message, "Invalid filename, the extension must be .img") << refused;
    }
    EXPECT_TRUE(fs::is_empty(folder));

    // Names that would reach outside the chosen folder.
    fs::create_directory(path("in"));
    for (const char* refused : {"../up.img", "a/b.img", "..\\up.img", "C:\\x.img", "..img"}) {
        const CreateImgOutcome outcome = CreateImgFile(path("in"), refused);
        EXPECT_FALSE(outcome.created) << refused;
        EXPECT_EQ(outcome.message, "Invalid filename, it must not hold \"/\", \"\\\" or \"..\"")
            << refused;
    }
    EXPECT_TRUE(fs::is_empty(path("in")));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    writeFile(path("old.img"), Bytes(300000, 0x55));
    const CreateImgOutcome outcome = CreateImgFile(folder + "/", "old.img");
    EXPECT_TRUE(outcome.created);
    EXPECT_EQ(outcome.message, "Image file created successfully");
    EXPECT_EQ(readFile(path("old.img")), MakeBlankImage());

    const CreateImgOutcome failed = CreateImgFile(kUncreatableFolder, "new.img");
    EXPECT_FALSE(failed.created);
    EXPECT_EQ(failed.message, "The image file was not created.\n\nCannot create \"" +
                                  std::string(kUncreatableFolder) + "/new.img\": the folder \"" +
                                  kUncreatableFolder +
                                  "\" cannot be written (No such file or directory).");
}

} // namespace
