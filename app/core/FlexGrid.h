#pragma once
// The catalogue grid: rows of text cells with the operations the program uses
// (row and column counts, cell text, current cell, selection end column,
// column widths and alignment, an ascending sort over key columns, clear),
// offered to a QTableView as a table model. It stays fast and small at a
// million rows: each row is one string holding its cells, each after its
// length. A cell holds any bytes, NUL and bytes that are not UTF-8 included.

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class FlexGrid : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Alignment { flexAlignLeftTop = 0, flexAlignLeftCenter = 1, flexAlignLeftBottom = 2 };
    enum SortSetting { flexSortNone = 0, flexSortGenericAscending = 1 };
    enum ScrollBarsSetting { flexScrollBarNone = 0, flexScrollBarHorizontal = 1,
                             flexScrollBarVertical = 2, flexScrollBarBoth = 3 };

    explicit FlexGrid(QObject* parent = nullptr);

    int Rows() const { return static_cast<int>(rows_.size()); }
    void setRows(int rows);
    int Cols() const { return cols_; }
    void setCols(int cols);

    // The text of a cell; an empty view for a cell outside the grid.
    std::string_view TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, std::string_view text);
    // Writes every cell of a row at once (the loader's fast path).
    void setRowCells(int row, const std::vector<std::string_view>& cells);

    int Row() const { return row_; }
    void setRow(int row);
    int Col() const { return col_; }
    void setCol(int col);
    int ColSel() const { return colSel_; }
    void setColSel(int col) { colSel_ = col; }

    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    int ColAlignment(int col) const;
    void setColAlignment(int col, int alignment);

    // Setting flexSortGenericAscending sorts every row by the columns from
    // Col to ColSel, left to right. A key that reads as a number compares as
    // a number and comes before any text; text compares without regard to
    // letter case. Rows with equal keys keep their order.
    void setSort(int setting);

    // Takes the rows and columns of `loaded` (a grid filled out of sight),
    // leaving it empty; widths, alignments and colours stay this grid's.
    void takeCells(FlexGrid& loaded);

    // Empties every cell; the shape stays.
    void Clear();

    // What the view shows beside a cell's text (a mark on a row): asked for
    // every role but the text and its alignment; nothing when unset. The
    // grid's cells stay the eight fields of a record.
    std::function<QVariant(int row, int col, int role)> roleData;

    // Properties that the view shows; colours are blue-green-red values.
    int FixedRows = 0;
    int FixedCols = 0;
    bool WordWrap = false;
    bool AllowBigSelection = true;
    int ScrollBars = flexScrollBarBoth;
    uint32_t ForeColor = 0x000000;
    uint32_t BackColor = 0xFFFFFF;
    uint32_t GridColor = 0xC0C0C0;
    int Width = 0; // twips

    // Groups many changes into one model reset, so that a view attached to a
    // large grid is not told of each cell.
    class Batch {
    public:
        explicit Batch(FlexGrid& grid);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        FlexGrid& grid_;
    };

    // Holds back currentCellChanged while a change of several steps runs (a
    // sort moves the rows and then the current cell): it is emitted once at
    // the end, when the current cell or the rows changed meanwhile.
    class CurrentCellHold {
    public:
        explicit CurrentCellHold(FlexGrid& grid);
        ~CurrentCellHold();
        CurrentCellHold(const CurrentCellHold&) = delete;
        CurrentCellHold& operator=(const CurrentCellHold&) = delete;

    private:
        FlexGrid& grid_;
    };
    // True inside a Batch or a CurrentCellHold: the current cell and its row
    // may be between two states, and currentCellChanged follows.
    bool settling() const { return batchDepth_ > 0 || holdDepth_ > 0; }

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The column names (the grid shows no header; screen readers tell them).
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void setColumnNames(std::vector<std::string> names) { columnNames_ = std::move(names); }

signals:
    // The current cell changed through code (sort, load), or the rows under
    // it were replaced; a view follows it.
    void currentCellChanged(int row, int col);
    // Column widths or other display properties changed.
    void layoutPropertiesChanged();

private:
    void sortRows(int firstKey, int lastKey);
    void cellChanged(int row, int col);
    void notifyCurrent();

    std::vector<std::string> rows_;
    int cols_ = 2;
    int row_ = 0;
    int col_ = 0;
    int colSel_ = 0;
    std::vector<int> widths_;
    std::vector<int> alignments_;
    std::vector<std::string> columnNames_;
    int batchDepth_ = 0;
    int holdDepth_ = 0;
    bool pendingCurrent_ = false;
};

// The generic ascending order of two keys: -1, 0 or 1. Exposed for tests.
int compareGenericKeys(std::string_view a, std::string_view b);
// True when the text reads as a number (spaces around it allowed).
bool readsAsNumber(std::string_view text, double* value = nullptr);

} // namespace tavrin
