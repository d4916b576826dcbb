#pragma once
// The help viewer: shows one of the program's help files ("help.hlp",
// "keywords.hlp", HTML kept under their old names) with its links, and
// Back, Forward and Contents buttons.

#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace tavrin {

class Prompt;

class FrmHelp : public QWidget {
    Q_OBJECT

public:
    explicit FrmHelp(Prompt& prompt, QWidget* parent = nullptr);

    // Opens a help file named relative to the current folder. A missing or
    // unreadable file is a message and false.
    bool openFile(const std::string& name);

    QTextBrowser* browser = nullptr;
    QToolButton* cmdBack = nullptr;
    QToolButton* cmdForward = nullptr;
    QToolButton* cmdContents = nullptr;

private:
    Prompt& prompt_;
};

} // namespace tavrin
