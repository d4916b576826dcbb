#pragma once
// The splash window: the start-up window. Its load loads the main window,
// covers the screen, and 6500 ms later shows the main window and closes; a
// click or a key on it does so at once.

#include <QTimer>
#include <QWidget>

class QFrame;
class QLabel;

namespace tavrin {

class Form1;

// "Version " and the major and minor version, in plain decimal digits.
QString versionLabel(int major, int minor);

class FrmSplash : public QWidget {
    Q_OBJECT

public:
    explicit FrmSplash(Form1& form1, QWidget* parent = nullptr);

    // The splash load: loads Form1 (false when the program cannot go on),
    // covers the screen and starts the timer.
    bool load();

    // Places a window at (0, 0) with the full screen size, on top, shown.
    // False when that fails.
    static bool CoverWholeScreen(QWidget* window);

    QFrame* Frame1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblCompany = nullptr;
    QTimer tmrTimer1;

    static constexpr int kSplashMilliseconds = 6500;

signals:
    // The timer (or a click or key) has shown the main window.
    void mainWindowShown();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // What the timer does, ahead of time.
    void skip();
    void tmrTimer1_Timer();

    Form1& form1_;
};

} // namespace tavrin
