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

    // A question with Yes and No whose default button (the one Return
    // presses) is No.
    virtual PromptAnswer questionDefaultNo(const std::string& text, PromptIcon icon,
                                           const std::string& title = kProgramTitle)
    {
        return messageBox(text, PromptButtons::YesNo, icon, title);
    }

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
        bool defaultNo = false; // a question whose default button is No
    };

    PromptAnswer messageBox(const std::string& text, PromptButtons buttons, PromptIcon icon,
                            const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& text, const std::string& title,
                                        const std::string& defaultValue) override;
    PromptAnswer questionDefaultNo(const std::string& text, PromptIcon icon,
                                   const std::string& title) override;

    std::deque<PromptAnswer> answers;
    std::deque<std::optional<std::string>> inputs;
    std::vector<Shown> shown;
};

} // namespace tavrin
