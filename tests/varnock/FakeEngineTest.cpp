// The records Varnock hands to its engines, checked by a recording fake
// engine staged beside a copy of libvarnock.so.

#include "FakeEngine.h"
#include "VarnockTestSupport.h"

#include <cstring>

namespace varnock::test {
namespace {

struct Staged {
    TempDir dir;
    std::unique_ptr<Component> component;
    fake::State* state = nullptr;

    Staged()
    {
        fs::copy_file(AppFolder() / kLibraryFileName, dir / kLibraryFileName);
        fs::copy_file(FAKE_ENGINE_PATH, dir / VARNOCK_UNZIP_LIBRARY);
        fs::copy_file(FAKE_ENGINE_PATH, dir / VARNOCK_ZIP_LIBRARY);
        component = std::make_unique<Component>(dir.path());
        // Both engine names are one file each; the unzip one is loaded first.
        _UnzipFiles* u = component->unzip();
        int32_t result = 0;
        u->Unzip(nullptr, nullptr, &result);
        u->Release();
        void* fakeHandle = dlopen((dir / VARNOCK_UNZIP_LIBRARY).c_str(), RTLD_NOW | RTLD_NOLOAD);
        auto get = reinterpret_cast<PFN_FakeEngineState>(dlsym(fakeHandle, "FakeEngineState"));
        state = get();
        void* zipHandle = dlopen((dir / VARNOCK_ZIP_LIBRARY).c_str(), RTLD_NOW);
        zipState = reinterpret_cast<PFN_FakeEngineState>(dlsym(zipHandle, "FakeEngineState"))();
    }
    fake::State* zipState = nullptr;
};

Staged& Fake()
{
    static Staged staged;
    return staged;
}

class FakeEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        *Fake().state = fake::State{};
        *Fake().zipState = fake::State{};
    }
    fake::State& unzipState() { return *Fake().state; }
    fake::State& zipState() { return *Fake().zipState; }
};

TEST_F(FakeEngineTest, DefaultOptionRecordAndOtherRecords)
{
    Releaser<_UnzipFiles> u{Fake().component->unzip()};
    ASSERT_EQ(Unzip(u.p, "C:\\Games\\elite.zip", "Temp"), 0);
    const fake::State& s = unzipState();
    EXPECT_EQ(s.unzipCalls, 1);
    EXPECT_EQ(s.versionCalls, 1);
    const DCL& d = s.dcl;
    int32_t fields[15] = {d.ExtractOnlyNewer, d.SpaceToUnderscore, d.PromptToOverwrite, d.fQuiet,
                          d.ncflag, d.ntflag, d.nvflag, d.nfflag, d.nzflag, d.ndflag, d.noflag,
                          d.naflag, d.nZIflag, d.C_flag, d.fPrivilege};
    int32_t expected[15] = {0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(fields[i], expected[i]) << "field " << i;
    EXPECT_EQ(s.zipFN, "C:\\Games\\elite.zip");
    EXPECT_EQ(s.extractDir, "Temp");

    // Version record: length 64, blanks ended by a zero in the text fields.
    UzpVer2 v;
    std::memcpy(&v, s.version.data(), sizeof v);
    EXPECT_EQ(v.structlen, 64u);
    EXPECT_EQ(std::string(v.betalevel, 10), std::string(9, ' ') + '\0');
    EXPECT_EQ(std::string(v.date, 20), std::string(19, ' ') + '\0');
    EXPECT_EQ(std::string(v.zlib_version, 10), std::string(9, ' ') + '\0');

    // Callback record: five callbacks, no sound, results sent as 0.
    EXPECT_NE(s.functions.print, nullptr);
    EXPECT_EQ(s.functions.sound, nullptr);
    EXPECT_NE(s.functions.replace, nullptr);
    EXPECT_NE(s.functions.password, nullptr);
    EXPECT_NE(s.functions.SendApplicationMessage, nullptr);
    EXPECT_NE(s.functions.ServCallBk, nullptr);
    EXPECT_EQ(s.functions.TotalSizeComp + s.functions.TotalSize + s.functions.CompFactor +
                  s.functions.NumMembers + s.functions.cchComment,
              0u);
    // Both name lists empty.
    EXPECT_EQ(s.ifnc, 0);
    EXPECT_EQ(s.xfnc, 0);
    EXPECT_TRUE(s.ifnvAllNull);
    EXPECT_TRUE(s.xfnvAllNull);
}

// Each property fills its own field of the option record, booleans as 1.
TEST_F(FakeEngineTest, EveryPropertyFillsItsField)
{
    using BoolPut = HRESULT (_UnzipFiles::*)(VARIANT_BOOL);
    struct Row {
        const char* name;
        BoolPut put;
        VARIANT_BOOL value;
        int32_t DCL::*field;
        int32_t expected;
    } rows[] = {
        {"ExtractNewer", &_UnzipFiles::put_ExtractNewer, VARIANT_TRUE, &DCL::nfflag, 1},
        {"SpaceToUnderScore", &_UnzipFiles::put_SpaceToUnderScore, VARIANT_TRUE, &DCL::SpaceToUnderscore, 1},
        {"PromptOverwrite", &_UnzipFiles::put_PromptOverwrite, VARIANT_TRUE, &DCL::PromptToOverwrite, 1},
        {"WriteToStdOut", &_UnzipFiles::put_WriteToStdOut, VARIANT_TRUE, &DCL::ncflag, 1},
        {"TestZip", &_UnzipFiles::put_TestZip, VARIANT_TRUE, &DCL::ntflag, 1},
        {"ExtractOnlyNewer", &_UnzipFiles::put_ExtractOnlyNewer, VARIANT_TRUE, &DCL::ExtractOnlyNewer, 1},
        {"DisplayComment", &_UnzipFiles::put_DisplayComment, VARIANT_TRUE, &DCL::nzflag, 1},
        {"HonorDirectories", &_UnzipFiles::put_HonorDirectories, VARIANT_FALSE, &DCL::ndflag, 0},
        {"OverWriteFiles", &_UnzipFiles::put_OverWriteFiles, VARIANT_FALSE, &DCL::noflag, 0},
        {"ConvertCRtoCRLF", &_UnzipFiles::put_ConvertCRtoCRLF, VARIANT_TRUE, &DCL::naflag, 1},
        {"Verbose", &_UnzipFiles::put_Verbose, VARIANT_TRUE, &DCL::nZIflag, 1},
        {"CaseSensitive", &_UnzipFiles::put_CaseSensitive, VARIANT_FALSE, &DCL::C_flag, 0},
        {"ExtractNewer as 1", &_UnzipFiles::put_ExtractNewer, 1, &DCL::nfflag, 1},
    };
    for (const Row& row : rows) {
        Releaser<_UnzipFiles> u{Fake().component->unzip()};
        Releaser<_UnzipFiles> fresh{Fake().component->unzip()};
        ASSERT_EQ((u.p->*row.put)(row.value), S_OK);
        ASSERT_EQ(Unzip(fresh.p, "x.zip", ""), 0);
        DCL defaults = unzipState().dcl;
        ASSERT_EQ(Unzip(u.p, "x.zip", ""), 0);
        DCL set = unzipState().dcl;
        EXPECT_EQ(set.*(row.field), row.expected) << row.name;
        // ... and no other field.
        for (int32_t DCL::*f : {&DCL::ExtractOnlyNewer, &DCL::SpaceToUnderscore, &DCL::PromptToOverwrite,
                                &DCL::fQuiet, &DCL::ncflag, &DCL::ntflag, &DCL::nvflag, &DCL::nfflag,
                                &DCL::nzflag, &DCL::ndflag, &DCL::noflag, &DCL::naflag, &DCL::nZIflag,
                                &DCL::C_flag, &DCL::fPrivilege})
            if (f != row.field) {
                EXPECT_EQ(set.*f, defaults.*f) << row.name;
            }
    }
    Releaser<_UnzipFiles> u{Fake().component->unzip()};
    u->put_MessageLevel(All);
    u->put_ExtractList(ListContents);
    u->put_Privilege(Privileges);
    ASSERT_EQ(Unzip(u.p, "x.zip", ""), 0);
    EXPECT_EQ(unzipState().dcl.fQuiet, 0);
    EXPECT_EQ(unzipState().dcl.nvflag, 1);
    EXPECT_EQ(unzipState().dcl.fPrivilege, 2);
}

TEST_F(FakeEngineTest, EngineResultIsReturnedUnchangedWithItsText)
{
    unzipState().unzipResult = 82;
    fake::Action print;
    print.bytes = std::string("skipping: a  incorrect password\n") + '\0';
    print.size = static_cast<uint32_t>(print.bytes.size() - 1);
    unzipState().script = {print};
    Releaser<_UnzipFiles> u{Fake().component->unzip()};
    EXPECT_EQ(Unzip(u.p, "x.zip", ""), 82);
    EXPECT_EQ(LastMessage(u.p), "skipping: a  incorrect password\n");
}

TEST_F(FakeEngineTest, DeclinedPasswordIsNotAskedAgainInOneExtraction)
{
    struct Asked {
        int count = 0;
    } asked;
    VarnockPromptHook hook{&asked,
                           [](void* c, const char*, const char*, char* answer, int32_t) -> int32_t {
                               ++static_cast<Asked*>(c)->count;
                               answer[0] = '\0';
                               return 0;
                           },
                           nullptr, nullptr, nullptr};
    fake::Action password;
    password.kind = fake::Action::Password;
    password.bufferSize = 16;
    unzipState().script = {password, password, password};
    Releaser<_UnzipFiles> u{Fake().component->unzip()};
    void* p = nullptr;
    ASSERT_EQ(u->QueryInterface(IID_IPromptHost, &p), S_OK);
    Releaser<IPromptHost> host{static_cast<IPromptHost*>(p)};
    host->SetPromptHook(&hook);
    Unzip(u.p, "x.zip", "");
    ASSERT_EQ(unzipState().answers.size(), 3u);
    for (const fake::Answer& a : unzipState().answers)
        EXPECT_EQ(a.result, 1);
    EXPECT_EQ(asked.count, 1);
    // A new extraction asks again.
    Unzip(u.p, "x.zip", "");
    EXPECT_EQ(asked.count, 2);
}

TEST_F(FakeEngineTest, ListedEntriesAndPrintedTextReachTheThreadState)
{
    fake::Action list;
    list.kind = fake::Action::List;
    list.ucsize = 10240;
    list.month = 3;
    list.day = 5;
    list.year = 1986;
    list.hour = 9;
    list.minute = 5;
    list.name = "GAMES/ELITE.SSD";
    fake::Action lf;
    lf.bytes = "\nignored";
    lf.size = 8;
    unzipState().script = {list, lf};
    Releaser<_UnzipFiles> u{Fake().component->unzip()};
    u->put_ExtractList(ListContents);
    Unzip(u.p, "x.zip", "");
    EXPECT_EQ(LastMessage(u.p), "\r\n");
    EXPECT_EQ(unzipState().dcl.nvflag, 1);
}

TEST_F(FakeEngineTest, ZipRecordsOfTheExample)
{
    Releaser<_ZipFiles> z{Fake().component->zip()};
    Bstr a("GAMES\\ELITE.SSD"), b("GAMES\\REVS.SSD"), root("c:\\games"), name("c:\\out.zip");
    ASSERT_EQ(z->AddFile(a.get(), nullptr), S_OK);
    ASSERT_EQ(z->AddFile(b.get(), nullptr), S_OK);
    ASSERT_EQ(z->put_RootDirectory(root.get()), S_OK);
    ASSERT_EQ(z->put_ZipFileName(name.get()), S_OK);
    int32_t count = 0;
    z->get_ZipFileCount(&count);
    EXPECT_EQ(count, 2);
    zipState().archiveResult = 7;
    zipState().zipPrints = {"  adding: GAMES/ELITE.SSD\n", "  adding: GAMES/REVS.SSD\n"};
    int32_t result = -1;
    ASSERT_EQ(z->MakeZipFile(&result), S_OK);
    EXPECT_EQ(result, 7);
    const fake::State& s = zipState();
    EXPECT_EQ(s.zipCalls, (std::vector<std::string>{"ZpInit", "ZpSetOptions", "ZpArchive"}));
    EXPECT_EQ(s.argc, 3);
    EXPECT_EQ(s.zipName, "c:\\out.zip");
    ASSERT_EQ(s.names.size(), 100u);
    EXPECT_EQ(s.names[0], std::optional<std::string>("")); // the placeholder's slot names no file
    EXPECT_EQ(s.names[1], std::optional<std::string>("GAMES\\ELITE.SSD"));
    EXPECT_EQ(s.names[2], std::optional<std::string>("GAMES\\REVS.SSD"));
    for (size_t i = 3; i < 100; ++i)
        EXPECT_FALSE(s.names[i].has_value()) << i;
    EXPECT_EQ(s.rootDir, std::optional<std::string>("C:\\GAMES"));
    EXPECT_FALSE(s.date.has_value());
    EXPECT_EQ(s.zpopt.fLevel, 0);
    const int32_t* flags = &s.zpopt.fSuffix;
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(flags[i], 0) << "flag " << i + 1;
    EXPECT_NE(s.zipFunctions.print, nullptr);
    EXPECT_NE(s.zipFunctions.password, nullptr);
    EXPECT_NE(s.zipFunctions.comment, nullptr);
    EXPECT_EQ(s.zipFunctions.service, nullptr);
    EXPECT_EQ(LastMessage(z.p), "  adding: GAMES/ELITE.SSD\n  adding: GAMES/REVS.SSD\n");
}

TEST_F(FakeEngineTest, RecurseAndUpdateSetTheir14thAnd19thFlags)
{
    Releaser<_ZipFiles> z{Fake().component->zip()};
    z->put_RecurseFolders(VARIANT_TRUE);
    z->put_UpdatingZip(VARIANT_TRUE);
    z->put_Encrypted(VARIANT_TRUE);          // kept on the object only
    z->put_IncludeSystemFiles(VARIANT_TRUE); // likewise
    int32_t result = -1;
    ASSERT_EQ(z->MakeZipFile(&result), S_OK);
    const int32_t* flags = &zipState().zpopt.fSuffix;
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(flags[i], (i == 13 || i == 18) ? 1 : 0) << "flag " << i + 1;
    EXPECT_EQ(zipState().argc, 1); // the placeholder alone
    EXPECT_EQ(zipState().rootDir, std::optional<std::string>("\\"));
}

TEST_F(FakeEngineTest, LastMessageIsSharedByBothClassesOnOneThread)
{
    fake::Action print;
    print.bytes = "from the unzip engine";
    print.size = static_cast<uint32_t>(print.bytes.size());
    unzipState().script = {print};
    Releaser<_UnzipFiles> u{Fake().component->unzip()};
    Releaser<_ZipFiles> z{Fake().component->zip()};
    Unzip(u.p, "x.zip", "");
    EXPECT_EQ(LastMessage(z.p), "from the unzip engine");
    std::string otherThread = "unset";
    std::thread([&] {
        Releaser<_ZipFiles> z2{Fake().component->zip()};
        otherThread = LastMessage(z2.p);
    }).join();
    EXPECT_EQ(otherThread, "");
    // A zip operation resets it.
    zipState().zipPrints = {"zip text"};
    int32_t result = 0;
    z->MakeZipFile(&result);
    EXPECT_EQ(LastMessage(u.p), "zip text");
}

} // namespace
} // namespace varnock::test
