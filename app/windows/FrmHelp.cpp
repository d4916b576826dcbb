#include "FrmHelp.h"

#include "core/FileHelpers.h"
#include "core/Paths.h"
#include "core/Prompt.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tavrin {

FrmHelp::FrmHelp(Prompt& prompt, QWidget* parent) : QWidget(parent, Qt::Window), prompt_(prompt)
{
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(820, 720);

    browser = new QTextBrowser;
    browser->setObjectName(QStringLiteral("browser"));
    browser->setAccessibleName(QStringLiteral("Help text"));
    browser->setOpenLinks(true);
    browser->setOpenExternalLinks(false);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QToolButton;
        b->setObjectName(QString::fromUtf8(name));
        b->setText(text);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return b;
    };
    cmdBack = button("cmdBack", QStringLiteral("&Back"));
    cmdForward = button("cmdForward", QStringLiteral("&Forward"));
    cmdContents = button("cmdContents", QStringLiteral("&Contents"));
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);
    connect(cmdBack, &QToolButton::clicked, browser, &QTextBrowser::backward);
    connect(cmdForward, &QToolButton::clicked, browser, &QTextBrowser::forward);
    connect(cmdContents, &QToolButton::clicked, this, [this] {
        QUrl contents = browser->source();
        contents.setFragment(QStringLiteral("contents"));
        browser->setSource(contents);
    });
    connect(browser, &QTextBrowser::backwardAvailable, cmdBack, &QToolButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, cmdForward, &QToolButton::setEnabled);

    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdBack);
    bar->addWidget(cmdForward);
    bar->addWidget(cmdContents);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(browser);
}

bool FrmHelp::openFile(const std::string& name)
{
    const QString path = QString::fromStdString(OsPathString(name));
    const QFileInfo info(path);
    if (!FileExists(name) || !info.isReadable()) {
        prompt_.messageBox("The help file \"" + name + "\" cannot be found in \"" +
                               QFileInfo(QStringLiteral(".")).absoluteFilePath().toStdString() +
                               "\".",
                           PromptButtons::Ok, PromptIcon::Exclamation);
        return false;
    }
    browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    const QString title = browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QString::fromStdString(name) : title);
    return true;
}

} // namespace tavrin
