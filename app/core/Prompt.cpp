#include "Prompt.h"

namespace tavrin {

PromptAnswer ScriptedPrompt::messageBox(const std::string& text, PromptButtons buttons,
                                        PromptIcon icon, const std::string& title)
{
    shown.push_back({text, title, buttons, icon});
    if (!answers.empty()) {
        PromptAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel
               ? PromptAnswer::Yes
               : PromptAnswer::Ok;
}

PromptAnswer ScriptedPrompt::questionDefaultNo(const std::string& text, PromptIcon icon,
                                              const std::string& title)
{
    const PromptAnswer answer = messageBox(text, PromptButtons::YesNo, icon, title);
    shown.back().defaultNo = true;
    return answer;
}

std::optional<std::string> ScriptedPrompt::inputBox(const std::string& text,
                                                    const std::string& title,
                                                    const std::string& defaultValue)
{
    shown.push_back({text, title, PromptButtons::OkCancel, PromptIcon::None});
    if (!inputs.empty()) {
        auto v = inputs.front();
        inputs.pop_front();
        return v;
    }
    return defaultValue;
}

} // namespace tavrin
