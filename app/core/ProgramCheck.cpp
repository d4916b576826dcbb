#include "ProgramCheck.h"

#include "Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace tavrin {
namespace {

bool endsWithBat(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string ext(name.substr(name.size() - 4));
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".bat";
}

// What a file on disk allows: a ".bat" file is read by /bin/sh, anything
// else must be an executable regular file.
ProgramState stateOf(const std::filesystem::path& file)
{
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (ec || !std::filesystem::exists(status))
        return ProgramState::Missing;
    if (!std::filesystem::is_regular_file(status))
        return ProgramState::NotRunnable;
    const int mode = endsWithBat(file.filename().string()) ? R_OK : X_OK;
    return ::access(file.c_str(), mode) == 0 ? ProgramState::Runnable : ProgramState::NotRunnable;
}

bool hasFolder(std::string_view name)
{
    return name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos;
}

ProgramCheck checkProgram(const std::string& program, std::string_view searchPath)
{
    if (hasFolder(program)) {
        const std::filesystem::path file = OsPath(program);
        return {stateOf(file), file.string()};
    }
    // A bare name: the first folder of the search path that holds it, as
    // the system's own program start would look.
    ProgramCheck best{ProgramState::Missing, program};
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos)
            end = searchPath.size();
        const std::string_view folder = searchPath.substr(start, end - start);
        if (!folder.empty()) {
            const std::filesystem::path file = std::filesystem::path(folder) / program;
            const ProgramState state = stateOf(file);
            if (state == ProgramState::Runnable)
                return {state, file.string()};
            if (state == ProgramState::NotRunnable && best.state == ProgramState::Missing)
                best = {state, file.string()};
        }
        start = end + 1;
    }
    return best;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

bool SplitCommandLine(std::string_view line, std::vector<std::string>* words)
{
    words->clear();
    std::string word;
    bool inWord = false;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (isBlank(c)) {
            if (inWord)
                words->push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '\'') {
            const size_t close = line.find('\'', i + 1);
            if (close == std::string_view::npos)
                return false;
            word.append(line.substr(i + 1, close - i - 1));
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            inWord = true;
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false;
                const char d = line[i];
                if (d == '"') {
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < line.size() &&
                    std::string_view("\"\\$`").find(line[i + 1]) != std::string_view::npos) {
                    word.push_back(line[i + 1]);
                    i += 2;
                } else {
                    word.push_back(d);
                    ++i;
                }
            }
        } else if (c == '\\') {
            if (i + 1 >= line.size())
                return false;
            word.push_back(line[i + 1]);
            inWord = true;
            i += 2;
        } else {
            word.push_back(c);
            inWord = true;
            ++i;
        }
    }
    if (inWord)
        words->push_back(std::move(word));
    return true;
}

ProgramCheck CheckEmulatorProgram(std::string_view commandLine, std::string_view searchPath)
{
    const std::string whole(commandLine);
    bool blank = true;
    for (char c : whole)
        blank = blank && isBlank(c);
    if (blank)
        return {ProgramState::Empty, {}};
    // A whole value naming an existing file with blanks in it, unquoted.
    if (hasFolder(whole)) {
        const std::filesystem::path file = OsPath(whole);
        std::error_code ec;
        if (std::filesystem::exists(file, ec))
            return {stateOf(file), file.string()};
    }
    std::vector<std::string> words;
    if (!SplitCommandLine(commandLine, &words))
        return {ProgramState::BadCommandLine, {}};
    if (words.empty() || words.front().empty())
        return {ProgramState::Missing, {}};
    return checkProgram(words.front(), searchPath);
}

ProgramCheck CheckEmulatorProgram(std::string_view commandLine)
{
    const char* path = std::getenv("PATH");
    return CheckEmulatorProgram(commandLine, path ? std::string_view(path) : "/usr/bin:/bin");
}

std::string ProgramStateText(ProgramState state)
{
    switch (state) {
    case ProgramState::Empty:
    case ProgramState::Runnable:
        return {};
    case ProgramState::Missing:
        return "does not exist";
    case ProgramState::NotRunnable:
        return "cannot be run";
    case ProgramState::BadCommandLine:
        return "has an unclosed quote";
    }
    return {};
}

} // namespace tavrin
