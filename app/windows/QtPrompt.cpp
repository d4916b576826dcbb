#include "QtPrompt.h"

#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

namespace tavrin {

namespace {

QMessageBox::Icon boxIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Exclamation: return QMessageBox::Warning;
    case PromptIcon::Critical: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Screen readers hear what the icon means, not a picture without a name.
void nameIcon(QMessageBox& box)
{
    static constexpr const char* kNames[] = {"", "Information", "Warning", "Error", "Question"};
    auto* icon = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"));
    const int kind = static_cast<int>(box.icon());
    if (icon && kind >= 0 && kind < 5)
        icon->setAccessibleName(QString::fromUtf8(kNames[kind]));
}

} // namespace

PromptAnswer QtPrompt::questionDefaultNo(const std::string& text, PromptIcon icon,
                                         const std::string& title)
{
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    box.setIcon(boxIcon(icon));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    nameIcon(box);
    return box.exec() == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

PromptAnswer QtPrompt::messageBox(const std::string& text, PromptButtons buttons, PromptIcon icon,
                                  const std::string& title)
{
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
    case PromptIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case PromptIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
    case PromptIcon::None: break;
    }
    switch (buttons) {
    case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case PromptButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case PromptButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    nameIcon(box);
    switch (box.exec()) {
    case QMessageBox::Yes: return PromptAnswer::Yes;
    case QMessageBox::No: return PromptAnswer::No;
    case QMessageBox::Cancel: return PromptAnswer::Cancel;
    default: return PromptAnswer::Ok;
    }
}

std::optional<std::string> QtPrompt::inputBox(const std::string& text, const std::string& title,
                                              const std::string& defaultValue)
{
    bool ok = false;
    const QString value = QInputDialog::getText(parent_, QString::fromStdString(title),
                                                QString::fromStdString(text), QLineEdit::Normal,
                                                QString::fromStdString(defaultValue), &ok);
    if (!ok)
        return std::nullopt;
    return value.toStdString();
}

} // namespace tavrin
