#include "ScaledLayout.h"

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tavrin
{
namespace
{

// Below this the controls no longer read; the surface is then cut off.
constexpr double kSmallestScale = 0.25;

// Controls are looked for inside plain containers only: the parts of a list,
// a text box or a button are laid out by the control itself.
bool holdsControls(const QWidget* w)
{
    const QMetaObject* kind = w->metaObject();
    return !w->layout() && (kind == &QWidget::staticMetaObject ||
                            kind == &QFrame::staticMetaObject || qobject_cast<const QGroupBox*>(w));
}

int edge(int design, double scale)
{
    return static_cast<int>(std::lround(design * scale));
}

} // namespace

ScaledLayout::ScaledLayout(QWidget* stage, QWidget* surface, QSize designWindow)
    : QObject(surface), stage_(stage), surface_(surface), designWindow_(designWindow),
      designSurface_(surface->size())
{
    stage_->installEventFilter(this);
}

double ScaledLayout::scaleFor(QSize window, QSize designWindow)
{
    if (designWindow.isEmpty())
        return 1.0;
    const double s = std::min(double(window.width()) / designWindow.width(),
                              double(window.height()) / designWindow.height());
    return std::max(s, kSmallestScale);
}

int ScaledLayout::scaled(int design) const
{
    return edge(design, scale_);
}

QRect ScaledLayout::scaled(const QRect& design) const
{
    const int left = edge(design.left(), scale_);
    const int top = edge(design.top(), scale_);
    return QRect(left, top, edge(design.left() + design.width(), scale_) - left,
                 edge(design.top() + design.height(), scale_) - top);
}

QFont ScaledLayout::scaled(const QFont& design) const
{
    QFont font = design;
    if (design.pointSizeF() > 0)
        font.setPointSizeF(design.pointSizeF() * scale_);
    else if (design.pixelSize() > 0)
        font.setPixelSize(std::max(1, edge(design.pixelSize(), scale_)));
    return font;
}

void ScaledLayout::place(QWidget* control, const QRect& design)
{
    if (!controls_.contains(control))
        take(control);
    controls_[control].box = design;
    control->setGeometry(scaled(design));
}

QRect ScaledLayout::designBox(const QWidget* control) const
{
    const auto found = controls_.constFind(control);
    return found != controls_.constEnd() ? found->box : control->geometry();
}

// A control is taken as it stands; one that first shows up at another scale
// is taken back to the design size.
void ScaledLayout::take(QWidget* w)
{
    const QRect now = w->geometry();
    const double back = 1 / scale_;
    Control c;
    c.box = QRect(edge(now.left(), back), edge(now.top(), back), edge(now.width(), back),
                  edge(now.height(), back));
    if (w->testAttribute(Qt::WA_SetFont)) {
        QFont font = w->font();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * back);
        c.font = font;
    }
    controls_.insert(w, c);
    connect(w, &QObject::destroyed, this, [this, w] { controls_.remove(w); });
}

void ScaledLayout::takeControls(QWidget* parent)
{
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        if (!controls_.contains(w))
            take(w);
        if (holdsControls(w))
            takeControls(w);
    }
}

void ScaledLayout::setScale(double scale)
{
    if (!taken_) {
        surfaceFont_ = surface_->font();
        taken_ = true;
    }
    takeControls(surface_);
    if (scale == scale_ && surface_->size() == scaled(QRect(QPoint(), designSurface_)).size()) {
        centre();
        return;
    }
    scale_ = scale;
    apply();
}

void ScaledLayout::apply()
{
    surface_->setUpdatesEnabled(false);
    surface_->setFont(scaled(surfaceFont_));
    surface_->resize(edge(designSurface_.width(), scale_), edge(designSurface_.height(), scale_));
    for (auto c = controls_.cbegin(); c != controls_.cend(); ++c) {
        auto* w = const_cast<QWidget*>(c.key());
        if (c->font)
            w->setFont(scaled(*c->font));
        w->setGeometry(scaled(c->box));
    }
    centre();
    emit scaleChanged(scale_);
    surface_->setUpdatesEnabled(true);
}

// The design window, scaled, is centred on the window, and the surface stands
// at its top left under the menu bar, as the client area does in the design
// window: at the design size nothing moves.
void ScaledLayout::centre()
{
    const int menu = stage_->window()->height() - stage_->height();
    const int left = (stage_->width() - edge(designWindow_.width(), scale_)) / 2;
    const int top = (stage_->height() + menu - edge(designWindow_.height(), scale_)) / 2;
    surface_->move(std::clamp(left, 0, std::max(0, stage_->width() - surface_->width())),
                   std::clamp(top, 0, std::max(0, stage_->height() - surface_->height())));
}

// The window's scale, but never so large that the surface leaves the stage
// (a tall menu bar).
double ScaledLayout::fittingScale() const
{
    const double s = scaleFor(stage_->window()->size(), designWindow_);
    return std::max(kSmallestScale, std::min({s, scaleFor(stage_->size(), designSurface_)}));
}

bool ScaledLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == stage_ && event->type() == QEvent::Resize)
        setScale(fittingScale());
    return QObject::eventFilter(watched, event);
}

} // namespace tavrin
