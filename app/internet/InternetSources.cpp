#include "InternetSources.h"

#include "core/Configuration.h"
#include "core/IniFile.h"
#include "core/Paths.h"

#include <string_view>

namespace tavrin
{
namespace
{

std::string trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

std::string readKey(const Form1State& f, const char* key)
{
    IniFile ini(OsPath(IniFilePath(f)));
    // An unreadable file reads as a missing one: the address is not set.
    ini.load();
    return trimmed(ini.GetString(kInternetSection, key, ""));
}

} // namespace

std::string SourceAddress(const Form1State& f, std::size_t index)
{
    return readKey(f, kInternetSources.at(index).key);
}

std::string UpdateServerAddress(const Form1State& f)
{
    std::string address = readKey(f, kUpdateServerKey);
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

std::string MissingAddressMessage(const Form1State& f, const char* key, const std::string& what)
{
    return "No address is set for " + what + ". Set the key " + key + " in the section [" +
           kInternetSection + "] of \"" + OsPathString(IniFilePath(f)) +
           "\" to the address of a web folder, and try again.";
}

} // namespace tavrin
