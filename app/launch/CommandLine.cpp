#include "CommandLine.h"

#include "core/TextHelpers.h"

#include <cstdlib>
#include <system_error>

#include <unistd.h>

namespace tavrin {
namespace fs = std::filesystem;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isFile(const fs::path& p)
{
    std::error_code ec;
    return !p.empty() && fs::is_regular_file(p, ec);
}

// A program given by its path starts in its own folder.
std::string folderOf(const fs::path& program, std::string_view word)
{
    if (word.find('/') == std::string_view::npos)
        return {};
    std::error_code ec;
    const fs::path absolute = fs::absolute(program, ec);
    return ec ? std::string() : absolute.parent_path().string();
}

std::optional<CommandLine> withProgram(const std::vector<std::string>& words)
{
    if (words.empty())
        return std::nullopt;
    const fs::path program = FindProgram(words.front());
    if (program.empty())
        return std::nullopt;
    return CommandLine{program.string(), {words.begin() + 1, words.end()},
                       folderOf(program, words.front())};
}

} // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isBlank(c)) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            word.append(text.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                if (text[i] == '"')
                    break;
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string_view("\\\"$`").find(text[i + 1]) != std::string_view::npos)
                    ++i;
                word += text[i];
            }
        } else if (c == '\\') {
            if (i + 1 < text.size())
                word += text[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string QuoteForShell(std::string_view word)
{
    // No "=": a first word holding one would be read as an assignment.
    static constexpr std::string_view kSafe =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./-+,:@%";
    if (!word.empty() && word.find_first_not_of(kSafe) == std::string_view::npos)
        return std::string(word);
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string JoinCommandLine(const CommandLine& command)
{
    std::string line = QuoteForShell(command.program);
    for (const std::string& a : command.arguments)
        line += concat({" ", QuoteForShell(a)});
    return line;
}

fs::path FindProgram(std::string_view word)
{
    if (word.empty() || word.find('\0') != std::string_view::npos)
        return {};
    const fs::path named{std::string(word)};
    if (word.find('/') != std::string_view::npos)
        return isFile(named) ? named : fs::path{};
    if (const char* path = std::getenv("PATH")) {
        std::string_view folders(path);
        while (true) {
            const size_t colon = folders.find(':');
            const std::string_view folder = folders.substr(0, colon);
            const fs::path candidate = fs::path(folder.empty() ? "." : std::string(folder)) / named;
            if (isFile(candidate) && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
            if (colon == std::string_view::npos)
                break;
            folders.remove_prefix(colon + 1);
        }
    }
    return isFile(named) ? fs::path(".") / named : fs::path{};
}

ResolvedCommandLine ResolveCommandLine(std::string_view value)
{
    const std::string_view text = trimmed(value);
    if (text.empty())
        return {{}, "no program is set"};
    const fs::path whole = FindProgram(text);
    if (!whole.empty())
        return {{whole.string(), {}, folderOf(whole, text)}, {}};

    const auto words = SplitCommandLine(text);
    if (words) {
        if (auto command = withProgram(*words))
            return {*command, {}};
    }
    if (text.find('"') != std::string_view::npos) {
        const auto requoted = SplitCommandLine(concat({"\"", text, "\""}));
        if (requoted) {
            if (auto command = withProgram(*requoted))
                return {*command, {}};
        }
    }
    if (text.front() != '"' && text.front() != '\'') {
        for (size_t blank = text.find(' '); blank != std::string_view::npos;
             blank = text.find(' ', blank + 1)) {
            const fs::path program = FindProgram(text.substr(0, blank));
            if (program.empty())
                continue;
            const auto rest = SplitCommandLine(text.substr(blank + 1));
            if (rest)
                return {{program.string(), *rest, folderOf(program, text.substr(0, blank))}, {}};
        }
    }
    if (!words)
        return {{std::string(text), {}}, "a quote is not closed"};
    if (words->empty())
        return {{}, "no program is set"};
    std::error_code ec;
    const bool folder = fs::is_directory(fs::path(words->front()), ec);
    return {{words->front(), {words->begin() + 1, words->end()}},
            folder ? "it is a folder" : "it does not exist"};
}

} // namespace tavrin
