#pragma once
// A picture that acts as a command button: it shows one picture at a time,
// stretched to its box, and reports a click of the left mouse button, or
// Space or Enter while it has the focus (Tab reaches it). The pictures
// change only inside the click handlers, never on hover. Screen readers know
// it as a push button named by its caption.

#include <QLabel>

namespace tavrin {

class PictureButton : public QLabel {
    Q_OBJECT

public:
    explicit PictureButton(const QString& name, const QString& caption, QWidget* parent = nullptr);

    // What a click does (a screen reader's press).
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressedInside_ = false;
};

// Shows the picture file of a stored name ("images\button-new.gif"), looked
// up through OsPath. A missing or undecodable file shows no picture; the
// program goes on. The name is kept in the label's "pictureFile" property.
bool showPictureFile(QLabel* label, const std::string& storedName);

// Shows a picture stored with the window (a Qt resource); no picture when it
// cannot be decoded.
bool showStoredPicture(QLabel* label, const QString& resource);

} // namespace tavrin
