#pragma once
// Message boxes and input boxes shown as Qt dialogs.

#include "core/Prompt.h"

class QWidget;

namespace tavrin {

class QtPrompt : public Prompt {
public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    PromptAnswer messageBox(const std::string& text, PromptButtons buttons, PromptIcon icon,
                            const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& text, const std::string& title,
                                        const std::string& defaultValue) override;
    PromptAnswer questionDefaultNo(const std::string& text, PromptIcon icon,
                                   const std::string& title) override;

private:
    QWidget* parent_;
};

} // namespace tavrin
