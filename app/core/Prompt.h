#pragma once
// Every message box and question of the program goes through a Prompt, so
// that logic can be tested with scripted answers and no modal window.

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

inline constexpr const char* kProgramTitle = "Tavrin";

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptIcon { None, Information, Exclamation, Critical, Question };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompt {
public:
    virtual ~Prompt() = default;

    // A message box: text, buttons, icon and the caption (the program's
    // title unless a routine gives its own).
    virtual PromptAnswer messageBox(const std::string& text,
                                    PromptButtons buttons = PromptButtons::Ok,
                                    PromptIcon icon = PromptIcon::None,
                                    const std::string& title = kProgramTitle) = 0;

    // An input box; no value when the user cancels.
    virtual std::optional<std::string> inputBox(const std::string& text,
                                                const std::string& title = kProgramTitle,
                                                const std::string& defaultValue = {}) = 0;
};

// A prompt for tests and for runs without a user: it records every message
// and answers from a queue (Ok or Yes when the queue is empty).
class ScriptedPrompt : public Prompt {
public:
    struct Shown {
        std::string text;
        std::string title;
        PromptButtons buttons;
        PromptIcon icon;
    };

    PromptAnswer messageBox(const std::string& text, PromptButtons buttons, PromptIcon icon,
                            const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& text, const std::string& title,
                                        const std::string& defaultValue) override;

    std::deque<PromptAnswer> answers;
    std::deque<std::optional<std::string>> inputs;
    std::vector<Shown> shown;
};

} // namespace tavrin
