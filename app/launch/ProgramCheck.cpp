#include "ProgramCheck.h"

#include "CommandLine.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace tavrin {
namespace {

bool isBatchFile(const std::filesystem::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bat";
}

} // namespace

ProgramCheck CheckEmulatorProgram(std::string_view commandLine)
{
    const bool blank = std::all_of(commandLine.begin(), commandLine.end(),
                                   [](char c) { return c == ' ' || c == '\t'; });
    if (blank)
        return {ProgramState::Empty, {}};
    const ResolvedCommandLine resolved = ResolveCommandLine(commandLine);
    const std::string& program = resolved.command.program;
    if (!resolved.error.empty()) {
        if (!SplitCommandLine(commandLine))
            return {ProgramState::BadCommandLine, program};
        std::error_code ec;
        const bool exists = !program.empty() && std::filesystem::exists(program, ec);
        if (exists)
            return {ProgramState::NotRunnable, program};
        // A bare name is looked for on PATH.
        const bool bare = program.find('/') == std::string::npos;
        return {bare ? ProgramState::NotOnPath : ProgramState::Missing, program};
    }
    // Found: a batch file is read by /bin/sh, anything else is executed.
    const std::filesystem::path file(program);
    const int mode = isBatchFile(file) ? R_OK : X_OK;
    return {::access(file.c_str(), mode) == 0 ? ProgramState::Runnable : ProgramState::NotRunnable,
            program};
}

std::string ProgramStateText(ProgramState state)
{
    switch (state) {
    case ProgramState::Empty:
    case ProgramState::Runnable:
        return {};
    case ProgramState::Missing:
        return "does not exist";
    case ProgramState::NotOnPath:
        return "not found on PATH";
    case ProgramState::NotRunnable:
        return "cannot be run";
    case ProgramState::BadCommandLine:
        return "has an unclosed quote";
    }
    return {};
}

} // namespace tavrin
