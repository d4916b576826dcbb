#pragma once
// The view of the catalogue grid. The grid has no header row, so a column is
// widened by dragging its right border in the grid itself (the pointer shows
// the resize arrows there; a double click on it fits the column to its
// text). A cell whose text is cut off shows it whole as its tool tip.

#include <QTableView>

namespace tavrin
{

class GridView : public QTableView
{
    Q_OBJECT

  public:
    explicit GridView(QWidget* parent = nullptr);

    // The shown column whose right border is within reach of `x` (viewport
    // pixels), or -1.
    int borderAt(int x) const;
    // True when the cell's text does not fit its box.
    bool textCutOff(const QModelIndex& index) const;

  signals:
    // The user dragged a column's border: its width in pixels now.
    void columnWidened(int column, int width);

  protected:
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    int dragged_ = -1;
    int dragFrom_ = 0;
    int widthFrom_ = 0;
};

} // namespace tavrin
