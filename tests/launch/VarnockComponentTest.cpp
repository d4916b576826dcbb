// tavrin's binding to Varnock: loading from the application folder, fresh
// objects, failed calls as exceptions, the prompt bridge, and clear errors
// for a missing or broken library.

#include "launch/VarnockComponent.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const VarnockLibrary& Library()
{
    static VarnockLibrary library(TAVRIN_APP_DIR);
    return library;
}

int Shell(const std::string& command) { return std::system(command.c_str()) == 0 ? 0 : 1; }

// The five calls with which the program unpacks an archive.
int32_t UnpackLikeTheProgram(const std::string& zip, const std::string& dir, std::string& message)
{
    UnzipFilesObject unzip = Library().createUnzipFiles();
    unzip.setZipFileName(zip);
    unzip.setExtractDir(dir);
    unzip.setHonorDirectories(false);
    int32_t result = unzip.Unzip("", "");
    if (result != 0)
        message = unzip.GetLastMessage();
    return result;
}

TEST(VarnockBinding, UnpacksAnArchiveWithTheProgramsFiveCalls)
{
    TempDir t;
    t.write("src/GAMES/ELITE.SSD", std::string(2048, '\x11'));
    t.write("src/ELITE.INF", "$.ELITE");
    ASSERT_EQ(Shell("cd '" + (t / "src").string() + "' && zip -q -r ../elite.zip ."), 0);
    std::string message;
    ASSERT_EQ(UnpackLikeTheProgram((t / "elite.zip").string(), (t / "Temp").string(), message), 0)
        << message;
    EXPECT_EQ(test::readFile(t / "Temp/ELITE.SSD"), std::string(2048, '\x11'));
    EXPECT_EQ(test::readFile(t / "Temp/ELITE.INF"), "$.ELITE");
    // A damaged archive: a non-zero code and the engine's text.
    t.write("bad.zip", "PK\x03\x04 not really");
    EXPECT_NE(UnpackLikeTheProgram((t / "bad.zip").string(), (t / "Temp").string(), message), 0);
    EXPECT_NE(message.find("bad.zip"), std::string::npos) << message;
}

TEST(VarnockBinding, EachObjectIsFreshAndKeepsTheLibraryAlive)
{
    UnzipFilesObject a = Library().createUnzipFiles();
    a.setZipFileName("a.zip");
    a.setHonorDirectories(false);
    UnzipFilesObject b = Library().createUnzipFiles();
    EXPECT_EQ(b.ZipFileName(), "");
    EXPECT_TRUE(b.HonorDirectories());
    EXPECT_EQ(b.MessageLevel(), varnock::NoMessages);
    EXPECT_FALSE(Library().canUnloadNow());
    EXPECT_EQ(a.ZipFileName(), "a.zip");
    EXPECT_FALSE(a.HonorDirectories());
}

TEST(VarnockBinding, FailedCallsThrowNumberDescriptionAndSource)
{
    UnzipFilesObject unzip = Library().createUnzipFiles();
    unzip.setPrivilege(static_cast<varnock::ZPrivilege>(100000));
    try {
        unzip.Unzip();
        FAIL() << "no exception";
    } catch (const VarnockError& e) {
        EXPECT_EQ(e.number(), 6);
        EXPECT_EQ(e.description(), "Overflow");
        EXPECT_EQ(e.source(), "UnZipFiles::Unzip");
    }
    ZipFilesObject zip = Library().createZipFiles();
    zip.AddFile("a.txt");
    try {
        zip.AddFile("A.txt");
        FAIL() << "no exception";
    } catch (const VarnockError& e) {
        EXPECT_EQ(e.number(), static_cast<int32_t>(0x800407D1));
        EXPECT_EQ(e.description(), "File is already in Zip List");
        EXPECT_EQ(e.source(), "Zip::AddFile");
    }
    EXPECT_EQ(zip.ZipFileCount(), 1);
    try {
        zip.RemoveFile("b.txt");
        FAIL() << "no exception";
    } catch (const VarnockError& e) {
        EXPECT_EQ(e.number(), static_cast<int32_t>(0x800407D2));
        EXPECT_EQ(e.source(), "Zip::RemoveFile");
    }
}

TEST(VarnockBinding, PasswordAndOverwriteQuestionsGoThroughThePrompt)
{
    TempDir t;
    t.write("src/SECRET.TXT", "hidden");
    ASSERT_EQ(Shell("cd '" + (t / "src").string() + "' && zip -q -P swordfish ../s.zip SECRET.TXT"), 0);
    ScriptedPrompt prompt;
    prompt.inputs = {std::string("swordfish")};
    UnzipFilesObject unzip = Library().createUnzipFiles();
    unzip.setPrompt(&prompt);
    ASSERT_EQ(unzip.Unzip((t / "s.zip").string(), (t / "out").string()), 0) << unzip.GetLastMessage();
    EXPECT_EQ(test::readFile(t / "out/SECRET.TXT"), "hidden");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Please Enter The Password!");
    EXPECT_EQ(prompt.shown[0].title, "Varnock");

    // Now the file exists: ask, and keep it on No.
    t.write("out/SECRET.TXT", "mine");
    prompt.shown.clear();
    prompt.answers = {PromptAnswer::No};
    prompt.inputs = {std::string("swordfish")};
    unzip.setOverWriteFiles(false);
    unzip.setPromptOverwrite(true);
    ASSERT_EQ(unzip.Unzip(), 0);
    EXPECT_EQ(test::readFile(t / "out/SECRET.TXT"), "mine");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Overwrite " + (t / "out/SECRET.TXT").string() + "?");
    EXPECT_EQ(prompt.shown[0].title, "WinUnpack32 - File Already Exists!");
    EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);

    // A cancelled password box: the entry is skipped, nothing is written.
    fs::remove_all(t / "out");
    prompt.inputs = {std::nullopt};
    EXPECT_EQ(unzip.Unzip(), 82);
    EXPECT_FALSE(fs::exists(t / "out/SECRET.TXT"));
}

TEST(VarnockBinding, MissingOrBrokenLibraryIsAClearError)
{
    TempDir t;
    struct Row {
        const char* what;
        std::function<void(const fs::path&)> prepare;
        const char* expected;
    } rows[] = {
        {"missing", [](const fs::path&) {}, "cannot be loaded"},
        {"not a library",
         [](const fs::path& dir) { std::ofstream(dir / "libvarnock.so") << "garbage"; },
         "cannot be loaded"},
        {"another library",
         [](const fs::path& dir) {
             fs::copy_file(fs::path(TAVRIN_APP_DIR) / "libvarnockzip.so", dir / "libvarnock.so");
         },
         "is not a Varnock component library"},
    };
    for (const Row& row : rows) {
        fs::path dir = t / row.what;
        fs::create_directories(dir);
        row.prepare(dir);
        try {
            VarnockLibrary library(dir);
            FAIL() << row.what;
        } catch (const VarnockError& e) {
            EXPECT_EQ(e.number(), kCannotCreateObject) << row.what;
            EXPECT_EQ(e.source(), "Varnock");
            EXPECT_NE(e.description().find((dir / "libvarnock.so").string()), std::string::npos)
                << e.description();
            EXPECT_NE(e.description().find(row.expected), std::string::npos) << e.description();
        }
    }
}

TEST(VarnockBinding, MissingEngineReachesTheCallerAsAnError)
{
    TempDir t;
    fs::copy_file(fs::path(TAVRIN_APP_DIR) / "libvarnock.so", t / "libvarnock.so");
    VarnockLibrary library(t.path());
    UnzipFilesObject unzip = library.createUnzipFiles();
    try {
        unzip.Unzip((t / "x.zip").string(), (t / "out").string());
        FAIL() << "no exception";
    } catch (const VarnockError& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_EQ(e.source(), "UnZipFiles::Unzip");
        EXPECT_NE(e.description().find("libvarnockunzip.so"), std::string::npos) << e.description();
    }
    ZipFilesObject zip = library.createZipFiles();
    EXPECT_THROW(zip.MakeZipFile(), VarnockError);
}

TEST(VarnockBinding, DefaultPromptReachesEveryNewObject)
{
    TempDir t;
    t.write("src/SECRET.TXT", "hidden");
    ASSERT_EQ(Shell("cd '" + (t / "src").string() + "' && zip -q -P pw ../s.zip SECRET.TXT"), 0);
    ScriptedPrompt prompt;
    VarnockLibrary library(TAVRIN_APP_DIR);
    library.setDefaultPrompt(&prompt);
    for (int i = 0; i < 2; ++i) {
        prompt.inputs = {std::string("pw")};
        UnzipFilesObject unzip = library.createUnzipFiles();
        EXPECT_EQ(unzip.Unzip((t / "s.zip").string(), (t / ("out" + std::to_string(i))).string()), 0);
    }
    EXPECT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(test::readFile(t / "out1/SECRET.TXT"), "hidden");
}

} // namespace
} // namespace tavrin
