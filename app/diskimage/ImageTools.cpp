#include "ImageTools.h"

#include "DiskCatalogue.h"
#include "DiskImageFile.h"

namespace tavrin
{
namespace
{
std::string notCreated(const std::string& why)
{
    return "The image file was not created.\n\n" + why + ".";
}
} // namespace

CreateImgOutcome CreateImgFile(std::string_view folder, std::string_view filename)
{
    CreateImgOutcome outcome;
    if (!IsImgFilename(filename)) {
        outcome.message = kInvalidImgFilename;
        outcome.nameRefused = true;
        return outcome;
    }
    for (std::string_view outside : {"/", "\\", ".."})
        if (filename.find(outside) != std::string_view::npos) {
            outcome.message = kFilenameLeavesFolder;
            outcome.nameRefused = true;
            return outcome;
        }
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += filename;
    const DiskWriteResult result = CreateBlankImage(path);
    outcome.created = result.ok();
    outcome.message = result.ok() ? std::string(kImageFileCreated) : notCreated(result.error);
    return outcome;
}

} // namespace tavrin
