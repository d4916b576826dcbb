#include "PictureButton.h"

#include "Accessibility.h"
#include "core/Paths.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tavrin {

PictureButton::PictureButton(const QString& name, const QString& caption, QWidget* parent)
    : QLabel(parent)
{
    installAccessibleInterfaces();
    setObjectName(name);
    setScaledContents(true);
    setToolTip(caption);
    setAccessibleName(caption);
    // Reached with Tab; a mouse click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::mousePressEvent(QMouseEvent* event)
{
    pressedInside_ = event->button() == Qt::LeftButton;
    event->accept();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressedInside_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressedInside_ = false;
    event->accept();
    if (click)
        emit clicked();
}

void PictureButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        if (!event->isAutoRepeat())
            emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void PictureButton::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // The focus shows as the style's focus frame over the picture.
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

bool showPictureFile(QLabel* label, const std::string& storedName)
{
    QPixmap picture;
    const bool loaded =
        !storedName.empty() && picture.load(QString::fromStdString(OsPathString(storedName)));
    label->setPixmap(loaded ? picture : QPixmap());
    label->setProperty("pictureFile", QString::fromStdString(storedName));
    return loaded;
}

bool showStoredPicture(QLabel* label, const QString& resource)
{
    QPixmap picture;
    const bool loaded = picture.load(resource);
    label->setPixmap(loaded ? picture : QPixmap());
    label->setProperty("pictureFile", resource);
    return loaded;
}

} // namespace tavrin
