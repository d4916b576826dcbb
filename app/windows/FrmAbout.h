#pragma once
// The About box: the program's title, version and a line about it.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace tavrin {

// "About " and the program's title.
QString aboutCaption();
// "Version " with the major and minor numbers of a version such as "2.0.0".
QString aboutVersion(const QString& version);

class FrmAbout : public QDialog {
    Q_OBJECT

public:
    // `version` defaults to the application's version.
    explicit FrmAbout(const QString& version = {});

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;

    static constexpr const char* kDescription =
        "A BBC Micro and Electron emulation front-end.     Enjoy!";
    static constexpr const char* kDisclaimer =
        "Tavrin is free software and comes with no warranty of any kind.";
};

} // namespace tavrin
