#include "InternetUpdate.h"

#include "InternetDownload.h"
#include "InternetSources.h"
#include "catalogue/Dao.h"
#include "catalogue/JetImport.h"
#include "core/FileHelpers.h"
#include "core/Form1State.h"
#include "core/Paths.h"
#include "core/Prompt.h"
#include "launch/VarnockComponent.h"

#include <QUrl>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

namespace tavrin
{
namespace
{

namespace fs = std::filesystem;

constexpr const char* kVersionFile = "iv.dat";
constexpr const char* kArchive = "internet.zip";
constexpr const char* kDatabase = "internet.mdb";
// The version file is a line of text; the archive holds one catalogue.
constexpr qint64 kMaxVersionFileBytes = 64 << 10;
constexpr qint64 kMaxArchiveBytes = qint64{256} << 20;

constexpr std::array<const char*, 8> kCatalogueFields = {
    "Publisher", "Software", "Genre", "Filepath", "Data1", "Data2", "Description1", "Index"};

// The first kilobyte of a file is all a version file needs.
std::string readHead(const std::string& path)
{
    std::ifstream in(OsPath(path), std::ios::binary);
    std::string text(1024, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

void message(Prompt& prompt, const std::string& text)
{
    prompt.messageBox(text);
}

// Installs `from` as `to`: copied beside it, then renamed into place.
bool install(const std::string& from, const std::string& to, std::string& error)
{
    return CopyFileReplacing(from, to, error);
}

} // namespace

std::string FirstField(std::string_view text)
{
    const auto start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    text.remove_prefix(start);
    return std::string(text.substr(0, text.find_first_of(",\r\n")));
}

bool IsNewerVersion(std::string_view offered, std::string_view installed)
{
    return std::lexicographical_compare(
        installed.begin(), installed.end(), offered.begin(), offered.end(), [](char a, char b) {
            return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
        });
}

bool IsInternetCatalogue(const std::string& path, std::string* why)
{
    try {
        dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(path);
        for (const InternetSource& source : kInternetSources) {
            dao::Recordset table = db.OpenRecordset(source.table, dao::dbOpenTable);
            for (const char* field : kCatalogueFields)
                table.FieldOrdinal(field);
            table.Close();
        }
        db.Close();
        return true;
    } catch (const dao::DaoError& e) {
        if (why)
            *why = e.what();
        return false;
    }
}

void AskForDatabaseUpdate(Prompt& prompt, const std::function<void()>& update)
{
    if (prompt.questionDefaultNo(kUpdateQuestion, PromptIcon::Question, kUpdateQuestionTitle) ==
        PromptAnswer::Yes)
        update();
}

void UpdateInternetDatabase(Form1State& f, Prompt& prompt, InternetDownload& download,
                            const CreateUnzipFiles& createUnzipFiles,
                            const ShowUnpackProgress& showProgress)
{
    if (download.busy())
        return; // a second request while a download runs
    const std::string server = UpdateServerAddress(f);
    if (server.empty()) {
        prompt.messageBox(MissingAddressMessage(f, kUpdateServerKey, "the update server"));
        return;
    }
    std::optional<UnzipFilesObject> unzip;
    try {
        unzip.emplace(createUnzipFiles());
    } catch (const VarnockError& e) {
        prompt.messageBox("The archive component cannot be used, so the Internet database "
                          "cannot be updated.\n\n" +
                              e.description(),
                          PromptButtons::Ok, PromptIcon::Critical);
        return;
    }

    const std::string offeredFile = f.sTempDir + "\\" + kVersionFile;
    const std::string installedFile = f.sDataDir + "\\" + kVersionFile;
    const DownloadResult version =
        download.GetInternetData(server + "/downloads/" + kVersionFile, offeredFile, "", " ",
                                 {kMaxVersionFileBytes, "the most a version file may be"});
    if (version.outcome == DownloadOutcome::Cancelled)
        return;
    if (!FileExists(offeredFile)) {
        message(prompt, DownloadMessage(
                            "There were problems downloading the Internet database reference file",
                            version));
        return;
    }
    const std::string offered = FirstField(readHead(offeredFile));
    const std::string installed =
        FileExists(installedFile) ? FirstField(readHead(installedFile)) : std::string("0");
    if (!IsNewerVersion(offered, installed)) {
        message(prompt, "You appear to have the latest updates.");
        return;
    }

    // As the platform writes it: the unpacker's messages name it.
    const std::string archive = OsPathString(f.sTempDir + "\\" + kArchive);
    const std::string host = QUrl(QString::fromStdString(server)).host().toStdString();
    const DownloadResult zip = download.GetInternetData(
        server + "/downloads/" + kArchive, archive, host,
        "Downloading the Internet database, please wait...",
        {kMaxArchiveBytes, "the most the Internet database archive may be"});
    if (zip.outcome == DownloadOutcome::Cancelled)
        return;
    if (!FileExists(archive)) {
        message(prompt, DownloadMessage("Failed to download Internet.zip", zip));
        return;
    }

    std::error_code ec;
    if (!DirExists(f.sTempDir))
        fs::create_directory(OsPath(f.sTempDir), ec);
    f.strZipFilename = archive;
    // A database left by an earlier attempt must not pass for this one: of
    // what "Temp" holds only the two files just downloaded stay.
    const std::string unpacked = f.sTempDir + "\\" + kDatabase;
    const std::vector<std::string> keep = {archive, offeredFile};
    std::string left;
    if (!EmptyUnpackFolder(f.sTempDir, keep, left)) {
        prompt.messageBox("The Internet database was not updated: what the folder " +
                              OsPathString(f.sTempDir) + " holds from before cannot be removed (" +
                              left + ").",
                          PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    UnpackGuard guard(archive, f.sTempDir, kCatalogueUnpackLimit, kCatalogueUse, showProgress);
    try {
        guard.attach(*unzip);
        unzip->setZipFileName(f.strZipFilename);
        unzip->setExtractDir(f.sTempDir);
        unzip->setHonorDirectories(false);
        if (unzip->Unzip("", "") != 0 && !guard.stopped())
            message(prompt, unzip->GetLastMessage());
    } catch (const VarnockError& e) {
        message(prompt, e.description());
    }
    guard.finish();
    unzip.reset();
    if (guard.stopped()) {
        EmptyUnpackFolder(f.sTempDir, keep, left);
        if (!guard.refusal().empty())
            message(prompt, guard.refusal());
        return;
    }

    // An archive may hold the Windows program's form of the database (a Jet
    // file): it is converted before it is checked and installed.
    std::string converted;
    if (FileExists(unpacked) &&
        ConvertJetFileInPlace(unpacked, InternetCatalogueCheck(), kDatabase, converted) ==
            JetConversion::Failed) {
        message(prompt, "Failed to unzip the internet database!");
        return;
    }
    std::string why;
    if (!FileExists(unpacked) || !IsInternetCatalogue(unpacked, &why)) {
        message(prompt, "Failed to unzip the internet database!");
        return;
    }
    // The database first and the version file last, so the installed
    // version never names a database that was not installed.
    std::string error;
    if (!DirExists(f.sDataDir))
        fs::create_directory(OsPath(f.sDataDir), ec);
    if (!install(unpacked, f.sDataDir + "\\" + kDatabase, error)) {
        prompt.messageBox("The Internet database could not be installed; the installed one is "
                          "unchanged.\n\n" +
                              error,
                          PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    if (!install(offeredFile, installedFile, error)) {
        prompt.messageBox("The Internet database is installed, but its version file could not "
                          "be; the next check will offer the update again.\n\n" +
                              error,
                          PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    message(prompt, "The Internet database is updated.");
    DeleteAllFiles(f.sTempDir);
}

} // namespace tavrin
