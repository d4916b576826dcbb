#include "UefFile.h"

#include "DiskImageFile.h"
#include "core/TextHelpers.h"

#include <string>

namespace tavrin
{
namespace
{

namespace message
{
std::string notUef(std::string_view path, const std::string& why)
{
    return concat({"\"", path, "\" is not a UEF tape image: ", why});
}
std::string tooLarge(uint64_t size)
{
    return "at " + std::to_string(size) + " bytes it is larger than any tape image (" +
           std::to_string(uef::kLargestTape / (1024 * 1024)) + " MB)";
}
} // namespace message

} // namespace

UefTapeRead ReadUefTapeFile(std::string_view path)
{
    UefTapeRead read;
    DiskImageHead head = ReadDiskImageHead(path, uef::kHeaderSize);
    if (head.ok() && head.size > uef::kLargestTape) {
        read.error = message::notUef(path, message::tooLarge(head.size));
        return read;
    }
    if (head.ok() && head.size > head.bytes.size())
        head = ReadDiskImageHead(path, static_cast<size_t>(head.size));
    if (!head.ok()) {
        read.error = head.error;
        return read;
    }
    read = ReadUefTape(head.bytes);
    if (!read.tape)
        read.error = message::notUef(path, read.error);
    return read;
}

bool IsUefFilename(std::string_view path)
{
    return path.size() >= 4 && equalsIgnoringAsciiCase(path.substr(path.size() - 4), ".uef");
}

} // namespace tavrin
