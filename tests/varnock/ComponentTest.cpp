// The component server and its two classes through the public header:
// defaults, property storage, the errors with their number, description
// and source, and what happens without the engines.

#include "VarnockTestSupport.h"

namespace varnock::test {
namespace {

using BoolGet = HRESULT (_UnzipFiles::*)(VARIANT_BOOL*);
using BoolPut = HRESULT (_UnzipFiles::*)(VARIANT_BOOL);

struct BoolProperty {
    const char* name;
    BoolGet get;
    BoolPut put;
    bool initial;
};

const BoolProperty kUnzipBooleans[] = {
    {"ExtractNewer", &_UnzipFiles::get_ExtractNewer, &_UnzipFiles::put_ExtractNewer, false},
    {"SpaceToUnderScore", &_UnzipFiles::get_SpaceToUnderScore, &_UnzipFiles::put_SpaceToUnderScore, false},
    {"PromptOverwrite", &_UnzipFiles::get_PromptOverwrite, &_UnzipFiles::put_PromptOverwrite, false},
    {"WriteToStdOut", &_UnzipFiles::get_WriteToStdOut, &_UnzipFiles::put_WriteToStdOut, false},
    {"TestZip", &_UnzipFiles::get_TestZip, &_UnzipFiles::put_TestZip, false},
    {"ExtractOnlyNewer", &_UnzipFiles::get_ExtractOnlyNewer, &_UnzipFiles::put_ExtractOnlyNewer, false},
    {"DisplayComment", &_UnzipFiles::get_DisplayComment, &_UnzipFiles::put_DisplayComment, false},
    {"HonorDirectories", &_UnzipFiles::get_HonorDirectories, &_UnzipFiles::put_HonorDirectories, true},
    {"OverWriteFiles", &_UnzipFiles::get_OverWriteFiles, &_UnzipFiles::put_OverWriteFiles, true},
    {"ConvertCRtoCRLF", &_UnzipFiles::get_ConvertCRtoCRLF, &_UnzipFiles::put_ConvertCRtoCRLF, false},
    {"Verbose", &_UnzipFiles::get_Verbose, &_UnzipFiles::put_Verbose, false},
    {"CaseSensitive", &_UnzipFiles::get_CaseSensitive, &_UnzipFiles::put_CaseSensitive, true},
};

TEST(UnzipFilesObject, DefaultsAndBooleanRoundTrip)
{
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    for (const BoolProperty& p : kUnzipBooleans) {
        VARIANT_BOOL value = 99;
        ASSERT_EQ((u.p->*p.get)(&value), S_OK);
        EXPECT_EQ(value, p.initial ? VARIANT_TRUE : VARIANT_FALSE) << p.name;
        for (VARIANT_BOOL set : {VARIANT_TRUE, VARIANT_FALSE, VARIANT_BOOL(1), VARIANT_BOOL(0)}) {
            ASSERT_EQ((u.p->*p.put)(set), S_OK);
            ASSERT_EQ((u.p->*p.get)(&value), S_OK);
            EXPECT_EQ(value, set ? VARIANT_TRUE : VARIANT_FALSE) << p.name;
        }
    }
    ZMessageLevel level{};
    ZExtractType type{};
    ZPrivilege privilege{};
    u->get_MessageLevel(&level);
    u->get_ExtractList(&type);
    u->get_Privilege(&privilege);
    EXPECT_EQ(level, NoMessages);
    EXPECT_EQ(type, Extract);
    EXPECT_EQ(privilege, Ignore);
    Bstr zip, dir;
    u->get_ZipFileName(zip.out());
    u->get_ExtractDir(dir.out());
    EXPECT_EQ(zip.text(), "");
    EXPECT_EQ(dir.text(), "");
}

TEST(UnzipFilesObject, EnumerationsKeep32BitValuesAndOverflowOnUnzip)
{
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    ASSERT_EQ(u->put_MessageLevel(static_cast<ZMessageLevel>(70000)), S_OK);
    ZMessageLevel level{};
    u->get_MessageLevel(&level);
    EXPECT_EQ(static_cast<int32_t>(level), 70000);
    int32_t result = -1;
    HRESULT hr = u->Unzip(nullptr, nullptr, &result);
    EXPECT_TRUE(FAILED(hr));
    ErrorInfo error = ReadError(u.p);
    EXPECT_EQ(error.number, VARNOCK_ERR_OVERFLOW);
    EXPECT_EQ(error.description, "Overflow");
    EXPECT_EQ(error.source, "UnZipFiles::Unzip");
    // A value that fits 16 bits is fine again and clears the record.
    u->put_MessageLevel(static_cast<ZMessageLevel>(-32768));
    u->put_Privilege(static_cast<ZPrivilege>(32768));
    EXPECT_TRUE(FAILED(u->Unzip(nullptr, nullptr, &result)));
    EXPECT_EQ(ReadError(u.p).source, "UnZipFiles::Unzip");
}

TEST(UnzipFilesObject, UnzipArgumentsStayOnTheObject)
{
    TempDir t;
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    Bstr setZip("first.zip");
    u->put_ZipFileName(setZip.get());
    // Empty arguments keep the properties.
    EXPECT_NE(Unzip(u.p, "", ""), 0); // first.zip does not exist
    Bstr zip;
    u->get_ZipFileName(zip.out());
    EXPECT_EQ(zip.text(), "first.zip");
    Unzip(u.p, (t / "second.zip").string(), (t / "out").string());
    Bstr zip2, dir;
    u->get_ZipFileName(zip2.out());
    u->get_ExtractDir(dir.out());
    EXPECT_EQ(zip2.text(), (t / "second.zip").string());
    EXPECT_EQ(dir.text(), (t / "out").string());
    EXPECT_NE(LastMessage(u.p).find("second.zip"), std::string::npos);
}

TEST(ZipFilesObject, DefaultsAndFileList)
{
    Releaser<_ZipFiles> z{RealComponent().zip()};
    int32_t count = -1;
    z->get_ZipFileCount(&count);
    EXPECT_EQ(count, 0);
    Bstr root;
    z->get_RootDirectory(root.out());
    EXPECT_EQ(root.text(), "\\");
    for (auto get : {&_ZipFiles::get_RecurseFolders, &_ZipFiles::get_Encrypted,
                     &_ZipFiles::get_IncludeSystemFiles, &_ZipFiles::get_UpdatingZip}) {
        VARIANT_BOOL value = 1;
        (z.p->*get)(&value);
        EXPECT_EQ(value, VARIANT_FALSE);
    }
    Bstr a("a.txt"), upper("A.TXT"), b("b.txt"), never("never.txt");
    EXPECT_EQ(z->AddFile(a.get(), nullptr), S_OK);
    HRESULT hr = z->AddFile(upper.get(), nullptr);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800407D1));
    ErrorInfo error = ReadError(z.p);
    EXPECT_EQ(error.number, static_cast<int32_t>(0x800407D1));
    EXPECT_EQ(error.description, "File is already in Zip List");
    EXPECT_EQ(error.source, "Zip::AddFile");
    VARIANT result;
    result.vt = 8;
    EXPECT_EQ(z->AddFile(b.get(), &result), S_OK);
    EXPECT_EQ(result.vt, VT_EMPTY);
    z->get_ZipFileCount(&count);
    EXPECT_EQ(count, 2);

    hr = z->RemoveFile(never.get(), nullptr);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800407D2));
    error = ReadError(z.p);
    EXPECT_EQ(error.description, "File is not in Zip List");
    EXPECT_EQ(error.source, "Zip::RemoveFile");
    EXPECT_EQ(z->RemoveFile(upper.get(), nullptr), S_OK); // keys ignore case
    z->get_ZipFileCount(&count);
    EXPECT_EQ(count, 1);
    // The placeholder is in the list too.
    Bstr placeholder("QUERTY");
    EXPECT_EQ(z->AddFile(placeholder.get(), nullptr), static_cast<HRESULT>(0x800407D1));
}

TEST(ZipFilesObject, MoreThan99NamesFailAndArchiveNothing)
{
    TempDir t;
    Releaser<_ZipFiles> z{RealComponent().zip()};
    for (int i = 0; i < 100; ++i) {
        const std::string file = tavrin::concat({"f", std::to_string(i), ".txt"});
        t.write(file, "data");
        Bstr name(file);
        ASSERT_EQ(z->AddFile(name.get(), nullptr), S_OK);
    }
    Bstr root(t.path().string()), zip((t / "out.zip").string());
    z->put_RootDirectory(root.get());
    z->put_ZipFileName(zip.get());
    int32_t result = -1;
    EXPECT_TRUE(FAILED(z->MakeZipFile(&result)));
    ErrorInfo error = ReadError(z.p);
    EXPECT_EQ(error.number, VARNOCK_ERR_SUBSCRIPT);
    EXPECT_EQ(error.source, "ZipFiles::MakeZipFile");
    EXPECT_NE(error.description.find("Subscript out of range"), std::string::npos);
    EXPECT_FALSE(fs::exists(t / "out.zip"));
    // With 99 it works.
    Bstr last("f99.txt");
    z->RemoveFile(last.get(), nullptr);
    EXPECT_EQ(z->MakeZipFile(&result), S_OK);
    EXPECT_EQ(result, 0) << LastMessage(z.p);
    EXPECT_TRUE(fs::exists(t / "out.zip"));
}

TEST(ComponentServer, FactoriesInterfacesAndUnloading)
{
    TempDir t;
    fs::copy_file(AppFolder() / kLibraryFileName, t / kLibraryFileName);
    Component c(t.path());
    void* p = nullptr;
    GUID unknownClass = CLSID_UnzipFiles;
    unknownClass.Data1 ^= 1;
    EXPECT_EQ(c.getClassObject()(unknownClass, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(c.canUnloadNow()(), S_OK);
    _UnzipFiles* u = c.unzip();
    EXPECT_EQ(c.canUnloadNow()(), S_FALSE);
    EXPECT_EQ(u->QueryInterface(IID__ZipFiles, &p), E_NOINTERFACE);
    ASSERT_EQ(u->QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(u->Release(), 1u);
    EXPECT_EQ(u->Release(), 0u);
    EXPECT_EQ(c.canUnloadNow()(), S_OK);
    auto reg = reinterpret_cast<HRESULT (*)()>(c.symbol("DllRegisterServer"));
    auto unreg = reinterpret_cast<HRESULT (*)()>(c.symbol("DllUnregisterServer"));
    ASSERT_TRUE(reg && unreg);
    EXPECT_EQ(reg(), S_OK);
    EXPECT_EQ(unreg(), S_OK);
}

// Without the engines beside it: errors with the classes' sources, and
// MakeZipFile no longer pretends the archive was written.
TEST(ComponentServer, MissingEnginesAreErrors)
{
    TempDir t;
    fs::copy_file(AppFolder() / kLibraryFileName, t / kLibraryFileName);
    t.write("a.txt", "data");
    Component c(t.path());
    Releaser<_UnzipFiles> u{c.unzip()};
    int32_t result = -1;
    EXPECT_TRUE(FAILED(u->Unzip(nullptr, nullptr, &result)));
    ErrorInfo error = ReadError(u.p);
    EXPECT_EQ(error.number, VARNOCK_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(error.source, "UnZipFiles::Unzip");
    EXPECT_NE(error.description.find("unzip engine"), std::string::npos) << error.description;
    EXPECT_NE(error.description.find(VARNOCK_UNZIP_LIBRARY), std::string::npos);

    Releaser<_ZipFiles> z{c.zip()};
    Bstr name("a.txt"), root(t.path().string()), zip((t / "a.zip").string());
    z->AddFile(name.get(), nullptr);
    z->put_RootDirectory(root.get());
    z->put_ZipFileName(zip.get());
    result = -1;
    EXPECT_TRUE(FAILED(z->MakeZipFile(&result)));
    error = ReadError(z.p);
    EXPECT_EQ(error.number, VARNOCK_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(error.source, "ZipFiles::MakeZipFile");
    EXPECT_NE(error.description.find("zip engine"), std::string::npos) << error.description;
    EXPECT_FALSE(fs::exists(t / "a.zip"));

    // An engine file that lacks its functions.
    fs::copy_file(AppFolder() / VARNOCK_ZIP_LIBRARY, t / VARNOCK_UNZIP_LIBRARY);
    EXPECT_TRUE(FAILED(u->Unzip(nullptr, nullptr, &result)));
    error = ReadError(u.p);
    EXPECT_EQ(error.number, VARNOCK_ERR_ENTRY_POINT);
    EXPECT_NE(error.description.find("UzpVersion2"), std::string::npos) << error.description;
}

TEST(ComponentServer, ErrorRecordIsClearedByTheNextCall)
{
    Releaser<_ZipFiles> z{RealComponent().zip()};
    Bstr missing("missing");
    EXPECT_TRUE(FAILED(z->RemoveFile(missing.get(), nullptr)));
    EXPECT_EQ(ReadError(z.p).source, "Zip::RemoveFile");
    int32_t count = 0;
    z->get_ZipFileCount(&count);
    EXPECT_EQ(ReadError(z.p).number, 0);
}

} // namespace
} // namespace varnock::test
