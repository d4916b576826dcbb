#include "FrontEndLaunch.h"

#include "CommandLine.h"
#include "core/TextHelpers.h"

namespace tavrin {
namespace {

std::string quotedWord(const std::string& word)
{
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos)
        return word;
    std::string out = "\"";
    for (char c : word)
        out += c == '"' ? std::string("\"\"\"") : std::string(1, c);
    return out + "\"";
}

} // namespace

std::string FrontEndLaunchLine(std::string_view commandLine, std::string_view destination,
                               std::string_view placeholder)
{
    const CommandLine command = ResolveCommandLine(commandLine).command;
    if (command.program.empty())
        return {};
    std::string line = quotedWord(command.program);
    bool placed = false;
    for (const std::string& argument : command.arguments) {
        const bool isDestination = !destination.empty() && argument == destination;
        line += ' ';
        line += isDestination ? std::string(placeholder) : quotedWord(argument);
        placed = placed || isDestination;
    }
    if (!placed)
        line += concat({" ", placeholder});
    return line;
}

} // namespace tavrin
