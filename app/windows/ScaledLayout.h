#pragma once
// A window designed at one size and shown at any size as one picture. Its
// controls stand on a design surface at the boxes and fonts they were given
// at the design size (the window's twips at the screen's dpi: "design
// pixels"); when the window is another size, the surface and every box and
// font on it are scaled by the smaller of the window's width and height over
// the design's; the design window so scaled is centred on the window and
// the stage's own background fills the rest. Pictures stretched to their boxes are drawn
// from their source at the box's size in device pixels, so they stay crisp.
//
// The boxes are taken from the controls when the scaling first applies;
// code that moves a control later gives its design box to place().

#include <QFont>
#include <QHash>
#include <QObject>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace tavrin
{

class ScaledLayout : public QObject
{
    Q_OBJECT

  public:
    // `surface` is shown on `stage`; the scale follows the size of the
    // stage's window against `designWindow`. The surface's present size is
    // its design size.
    ScaledLayout(QWidget* stage, QWidget* surface, QSize designWindow);

    // The scale of a window: the smaller of width and height over the design's.
    static double scaleFor(QSize window, QSize designWindow);

    double scale() const { return scale_; }
    // A design length or box at the present scale. Adjacent boxes stay
    // adjacent: each edge is scaled, not the size.
    int scaled(int design) const;
    QRect scaled(const QRect& design) const;
    QFont scaled(const QFont& design) const;

    // Puts a control on the surface at a box in design pixels.
    void place(QWidget* control, const QRect& design);
    // The design box of a control on the surface.
    QRect designBox(const QWidget* control) const;

    // Shows the surface at a scale; the stage's resizes set it.
    void setScale(double scale);

  signals:
    void scaleChanged(double scale);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Control {
        QRect box;
        std::optional<QFont> font; // a font of its own, else the surface's
    };
    void take(QWidget* control);
    void takeControls(QWidget* parent);
    void apply();
    void centre();
    double fittingScale() const;

    QWidget* stage_;
    QWidget* surface_;
    QSize designWindow_;
    QSize designSurface_;
    QFont surfaceFont_;
    double scale_ = 1.0;
    bool taken_ = false;
    QHash<const QWidget*, Control> controls_;
};

} // namespace tavrin
