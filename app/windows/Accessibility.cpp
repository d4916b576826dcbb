#include "Accessibility.h"

#include "PictureButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>
#include <QVariant>

namespace tavrin
{
namespace
{

constexpr const char* kDecoration = "decoration";

// A picture button: a push button whose press is its click. The click runs
// after the request has been answered, as a button's animated click does, so
// that a window it opens does not hold the screen reader's call.
class PictureButtonAccessible : public QAccessibleWidget
{
  public:
    explicit PictureButtonAccessible(QWidget* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        auto* button = static_cast<PictureButton*>(widget());
        if (button->isEnabled())
            QTimer::singleShot(0, button, &PictureButton::click);
    }
};

QAccessibleInterface* interfaceFor(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (widget->property(kDecoration).toBool())
        return new QAccessibleWidget(widget, QAccessible::Client);
    if (className == QLatin1String("tavrin::PictureButton"))
        return new PictureButtonAccessible(widget);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(&interfaceFor);
        return true;
    }();
    (void)installed;
}

void markDecoration(QWidget* picture)
{
    installAccessibleInterfaces();
    picture->setProperty(kDecoration, true);
    picture->setFocusPolicy(Qt::NoFocus);
}

void nameProgressBar(QProgressDialog& dialog, const QString& name)
{
    if (auto* bar = dialog.findChild<QProgressBar*>())
        bar->setAccessibleName(name);
}

} // namespace tavrin
