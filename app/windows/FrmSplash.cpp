#include "FrmSplash.h"

#include "Accessibility.h"
#include "Form1.h"
#include "Twips.h"
#include "core/Prompt.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

namespace tavrin {
namespace {

QLabel* splashLabel(QWidget* parent, const char* name, int pointSize100, bool bold, QRect box)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize100 / 100.0);
    font.setBold(bold);
    label->setFont(font);
    label->setGeometry(box);
    // Blue (0xC00000 as blue-green-red) on black.
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;")
                             .arg(colorFromBgr(0xC00000).name()));
    return label;
}

} // namespace

QString versionLabel(int major, int minor)
{
    return QStringLiteral("Version %1.%2").arg(major).arg(minor);
}

FrmSplash::FrmSplash(Form1& form1, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool), form1_(form1)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleName(QStringLiteral("Tavrin is starting"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    markDecoration(Frame1);
    Frame1->setGeometry(twipsRect(5160, 4200, 4680, 2610, this));

    Image1 = new QLabel(Frame1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twipsRect(120, 360, 1920, 1920, this));
    Image1->setScaledContents(true);
    markDecoration(Image1);
    Image1->setPixmap(QPixmap(QStringLiteral(":/windows/splash.png")));

    lblProductName = splashLabel(Frame1, "lblProductName", 1800, true, twipsRect(2160, 360, 1980, 435, this));
    lblVersion = splashLabel(Frame1, "lblVersion", 1200, true, twipsRect(2160, 1200, 885, 285, this));
    lblCopyright = splashLabel(Frame1, "lblCopyright", 825, false, twipsRect(2160, 1800, 2055, 255, this));
    lblCompany = splashLabel(Frame1, "lblCompany", 825, false, twipsRect(2160, 2040, 2055, 255, this));
    lblCopyright->setText(QStringLiteral("\u00A9 2026 the Tavrin team"));
    lblCompany->setText(QStringLiteral("tavrin.example.org"));

    tmrTimer1.setSingleShot(true);
    tmrTimer1.setInterval(kSplashMilliseconds);
    connect(&tmrTimer1, &QTimer::timeout, this, &FrmSplash::tmrTimer1_Timer);
}

bool FrmSplash::load()
{
    // Loading the splash loads the main window, invisible, with its whole state.
    form1_.setVisible(false);
    if (!form1_.load())
        return false;
    tmrTimer1.start();
    CoverWholeScreen(this);
    // The keys that skip the wait come here.
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    const QStringList version = QApplication::applicationVersion().split(QLatin1Char('.'));
    lblVersion->setText(versionLabel(version.value(0).toInt(), version.value(1).toInt()));
    lblVersion->adjustSize();
    lblProductName->setText(QString::fromUtf8(kProgramTitle));
    lblProductName->adjustSize();
    return true;
}

bool FrmSplash::CoverWholeScreen(QWidget* window)
{
    if (!window)
        return false;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    window->setWindowState(Qt::WindowNoState);
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->setGeometry(screen->geometry());
    window->show();
    return window->isVisible();
}

void FrmSplash::skip()
{
    if (!tmrTimer1.isActive())
        return;
    tmrTimer1.stop();
    tmrTimer1_Timer();
}

void FrmSplash::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    skip();
}

void FrmSplash::keyPressEvent(QKeyEvent* event)
{
    // A modifier alone (the Alt of a window switch) is no key press.
    if (event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control ||
        event->key() == Qt::Key_Alt || event->key() == Qt::Key_Meta) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    skip();
}

void FrmSplash::tmrTimer1_Timer()
{
    // Without a window manager a maximised window keeps its size: give it
    // the screen's free area first.
    if (QScreen* screen = form1_.screen())
        form1_.setGeometry(screen->availableGeometry());
    form1_.showMaximized();
    form1_.focusGrid();
    close();
    emit mainWindowShown();
}

} // namespace tavrin
