#pragma once
// The update of the reference catalogue of the Internet sources from the
// update server: a version file, compared as text with the installed one,
// and a zipped database unpacked with Varnock and installed into "Data".

#include "launch/ZippedSoftware.h"

#include <functional>
#include <string>
#include <string_view>

namespace tavrin
{

struct Form1State;
class InternetDownload;
class Prompt;

inline constexpr const char* kUpdateQuestion =
    "Do you want to check for any Internet database updates?";
inline constexpr const char* kUpdateQuestionTitle =
    "MsgBox Do you want to check for Internet updates?";

// The first field of a version file: the text up to the first comma or line
// end, leading blanks ignored.
std::string FirstField(std::string_view text);

// The offered edition is newer exactly when its version text sorts after
// the installed one, byte by byte.
bool IsNewerVersion(std::string_view offered, std::string_view installed);

// True when `path` is an SQLite database holding the five tables of the
// sources, each with the catalogue's eight fields; otherwise false with why.
bool IsInternetCatalogue(const std::string& path, std::string* why = nullptr);

// Asks whether to check for updates (Yes and No, No the default); on Yes
// runs `update`.
void AskForDatabaseUpdate(Prompt& prompt, const std::function<void()>& update);

// The check and, when the server's edition is newer, the update.
// `showProgress` opens the window with Cancel while the archive is unpacked.
void UpdateInternetDatabase(Form1State& f, Prompt& prompt, InternetDownload& download,
                            const CreateUnzipFiles& createUnzipFiles,
                            const ShowUnpackProgress& showProgress = {});

} // namespace tavrin
