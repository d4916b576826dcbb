#include "PictureButton.h"

#include "core/Paths.h"

#include <QMouseEvent>
#include <QPixmap>

namespace tavrin {

PictureButton::PictureButton(const QString& name, const QString& caption, QWidget* parent)
    : QLabel(parent)
{
    setObjectName(name);
    setScaledContents(true);
    setToolTip(caption);
    setAccessibleName(caption);
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
