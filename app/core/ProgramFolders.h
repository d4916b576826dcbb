#pragma once
// Where the program finds its libraries and which folder it works in.
//
// A portable program (the build's output, an unpacked archive) keeps its
// libraries beside the executable and works in the executable's own folder
// while that folder can be written. An installed program (executable in
// bin/, libraries in lib/tavrin, shipped data in share/tavrin) works in a
// folder of the user's own, $XDG_DATA_HOME/tavrin, which is filled from the
// shipped data when the program first starts.

#include <filesystem>
#include <string>

namespace tavrin {

// Where an installed program keeps its parts, relative to the folder that
// holds the executable (from the build's install directories).
struct InstallLayout {
    std::filesystem::path libraryFolder; // e.g. ../lib/tavrin
    std::filesystem::path dataFolder;    // e.g. ../share/tavrin
};
InstallLayout InstalledLayout();

// The file name of the component library.
inline constexpr const char* kComponentLibraryFile = "libvarnock.so";

// The environment variables that name a user's data folder.
struct UserEnvironment {
    std::string xdgDataHome; // $XDG_DATA_HOME, may be empty
    std::string home;        // $HOME, or the password database's home folder
};
UserEnvironment CurrentUserEnvironment();

// $XDG_DATA_HOME/tavrin, or ~/.local/share/tavrin when XDG_DATA_HOME is unset
// or not an absolute path. Empty when neither names an absolute folder.
std::filesystem::path PerUserDataFolder(const UserEnvironment& env);

// The folder that holds libvarnock.so and its engines: the executable's own
// folder when the library lies there, otherwise the installed library folder.
std::filesystem::path ComponentLibraryFolder(const std::filesystem::path& programFolder,
                                             const InstallLayout& layout = InstalledLayout());

struct ProgramFolders {
    std::filesystem::path programFolder;     // holds the executable
    std::filesystem::path libraryFolder;     // holds libvarnock.so and the engines
    std::filesystem::path applicationFolder; // the current folder: catalogue, bbc.ini, Temp
    std::filesystem::path shippedData;       // copied into a per-user folder; empty when portable
    bool perUser = false;
};

// True when the current user may create files in `folder`.
bool FolderIsWritable(const std::filesystem::path& folder);

// Chooses the folders for a program whose executable lies in
// `programFolder` (`writable`: FolderIsWritable of it). Portable (the
// library beside the executable and the folder writable): the executable's
// folder. An installed program works in the per-user folder even when its
// folder can be written (by root, say). Otherwise the per-user folder,
// to be filled from the installed data folder, or from the executable's own
// folder when there is no installed data folder (a read-only unpacked
// archive). Throws std::runtime_error when a per-user folder is needed and
// the environment names none.
ProgramFolders ChooseProgramFolders(const std::filesystem::path& programFolder, bool writable,
                                    const UserEnvironment& env,
                                    const InstallLayout& layout = InstalledLayout());

// The file in a per-user folder that records which version's data has been
// copied into it.
inline constexpr const char* kFilledStampFile = ".tavrin-data";
// The file in a per-user folder that records each shipped file as it was
// put there: its SHA-256 and its name, one per line.
inline constexpr const char* kShippedManifestFile = ".tavrin-shipped";

// Creates `target` when missing and, unless its stamp already names
// `version`, brings it up to the shipped data: a file it lacks is copied; a
// file that still holds the bytes of the shipped file put there before (the
// manifest says which) is replaced by the shipped one; a file the user
// changed, or one the manifest does not name (a folder filled before there
// was a manifest), is kept, and so is anything that is a link or lies in a
// linked folder. The catalogue and bbc.ini are the user's and are never
// replaced. Each file is written beside its place and renamed into it, so an
// interrupted copy never leaves a cut file behind. The program's own
// executables and libraries (in a read-only portable folder) are not copied.
// A manifest that is missing or damaged names fewer files and nothing more.
// Throws std::runtime_error naming the file on a failure; the stamp is then
// not written, so the next start tries again.
// Returns the number of files copied or replaced.
int FillPerUserFolder(const std::filesystem::path& shipped, const std::filesystem::path& target,
                      const std::string& version);

} // namespace tavrin

namespace tavrin {

// The whole start-up choice for the program in `programFolder`: chooses the
// folders, fills a per-user folder from the shipped data, and returns the
// folders. Throws std::runtime_error with a message for the user.
ProgramFolders PrepareProgramFolders(const std::filesystem::path& programFolder,
                                     const std::string& version);

} // namespace tavrin
