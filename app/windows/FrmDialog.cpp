#include "FrmDialog.h"

#include "Form1.h"
#include "Twips.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Dao.h"
#include "core/Prompt.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace tavrin {

FrmDialog::FrmDialog(Form1& form1)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      form1_(form1)
{
    setObjectName(QStringLiteral("frmDialog"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    setWindowTitle(QStringLiteral("Creat new database"));
    setFixedSize(twipsToPixels(4920, this), twipsToPixels(1545, this));

    Label1 = new QLabel(QStringLiteral("Warning!"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setStyleHint(QFont::SansSerif);
    labelFont.setPointSizeF(14.25);
    Label1->setFont(labelFont);
    Label1->setGeometry(twipsRect(120, 120, 2055, 375, this));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setAccessibleName(QStringLiteral("Warning"));
    QFont textFont(QStringLiteral("Sans Serif"));
    textFont.setStyleHint(QFont::SansSerif);
    textFont.setPointSizeF(8.25);
    Text1->setFont(textFont);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setGeometry(twipsRect(120, 480, 3375, 975, this));
    // The box shows the lines; their carriage returns are Windows' line ends.
    const QString warning = QString::fromUtf8(kWarning).remove(QLatin1Char('\r')).trimmed();
    Text1->document()->setDocumentMargin(2);
    // The box was designed for a narrower font than the sans-serif fonts
    // here: a smaller size keeps each of the three lines on one line.
    const int room = Text1->width() - 2 * Text1->frameWidth() - 6;
    while (textFont.pointSizeF() > 6.0) {
        const QFontMetrics metrics(textFont);
        int widest = 0;
        for (const QString& line : warning.split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest <= room)
            break;
        textFont.setPointSizeF(textFont.pointSizeF() - 0.25);
    }
    Text1->setFont(textFont);
    Text1->setPlainText(warning);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(twipsRect(3600, 480, 1215, 375, this));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(twipsRect(3600, 960, 1215, 375, this));
    setTabOrder(OKButton, CancelButton);
    OKButton->setFocus();
    connect(OKButton, &QPushButton::clicked, this, &FrmDialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &FrmDialog::CancelButton_Click);

    // Centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect box(QPoint(), size());
        box.moveCenter(screen->availableGeometry().center());
        move(box.topLeft());
    }
}

void FrmDialog::OKButton_Click()
{
    Form1State& f = form1_.f;
    // The catalogue replaced is the local one, which is reloaded below, even
    // when the grid last showed another database.
    f.sDatabaseFile = f.sLocalDatabase;
    try {
        CreateDatabase(f);
    } catch (const dao::DaoError& e) {
        // The new file is renamed into place only when it is complete, so
        // the old catalogue is still there.
        form1_.prompt().messageBox("A new catalogue could not be created in \"" + f.sDatabaseFile +
                                       "\"; the catalogue is unchanged.\n\n" + e.what(),
                                   PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    try {
        TransferFromAccess(f, f.sLocalDatabase, f.sLocalTable);
    } catch (const dao::DaoError& e) {
        form1_.prompt().messageBox("The new catalogue \"" + f.sLocalDatabase +
                                       "\" cannot be read.\n\n" + e.what(),
                                   PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    close();
}

void FrmDialog::CancelButton_Click() { close(); }

} // namespace tavrin
