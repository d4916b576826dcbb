#pragma once
// Creating a blank .img image from the dialog "Create an .IMG file": the
// extension check, the path the image is written to, and the messages.

#include <string>
#include <string_view>

namespace tavrin
{

inline constexpr const char* kInvalidImgFilename = "Invalid filename, the extension must be .img";
inline constexpr const char* kFilenameLeavesFolder =
    "Invalid filename, it must not hold \"/\", \"\\\" or \"..\"";
inline constexpr const char* kImageFileCreated = "Image file created successfully";

struct CreateImgOutcome {
    bool created = false;
    bool nameRefused = false; // the name was refused and nothing was tried
    std::string message; // for the user, whatever happened
};

// "Create": refuses a name whose last four characters are not ".img" in any
// letter case, and a name holding "/", "\" or "..", which could name a file
// outside the chosen folder; otherwise writes the blank image to `folder`, "/", `filename`,
// replacing any file of that name entirely. A failure says why and is never
// followed by the success message.
CreateImgOutcome CreateImgFile(std::string_view folder, std::string_view filename);

} // namespace tavrin
