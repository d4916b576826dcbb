#include "FlexGrid.h"

#include "TextHelpers.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <utility>

namespace tavrin {
namespace {

// Each row is one string: every cell as its length, 7 bits a byte, low bits
// first, the top bit set on every byte but the last, followed by its bytes.
// So a cell holds any bytes, NUL included, and an empty cell is one zero
// byte.

void appendCell(std::string& row, std::string_view cell)
{
    size_t n = cell.size();
    for (; n >= 0x80; n >>= 7)
        row.push_back(static_cast<char>(0x80 | (n & 0x7F)));
    row.push_back(static_cast<char>(n));
    row.append(cell);
}

size_t encodedSize(std::string_view cell)
{
    size_t n = 1;
    for (size_t length = cell.size(); length >= 0x80; length >>= 7)
        ++n;
    return n + cell.size();
}

// The text of the cell whose length begins at `at`: [begin, end); the next
// cell begins at `end`.
struct CellText {
    size_t begin, end;
};

CellText cellAt(std::string_view row, size_t at)
{
    size_t length = 0;
    for (unsigned shift = 0; at < row.size() && shift < 8 * sizeof length; shift += 7) {
        const auto b = static_cast<unsigned char>(row[at++]);
        length |= size_t(b & 0x7F) << shift;
        if ((b & 0x80) == 0)
            break;
    }
    return {at, std::min(length, row.size() - at) + at};
}

// Cell `col` of a row: `head` where its length begins, [begin, end) its text.
struct CellPlace {
    size_t head, begin, end;
};

CellPlace locateCell(std::string_view row, int col)
{
    size_t at = 0;
    for (int c = 0; c < col && at < row.size(); ++c)
        at = cellAt(row, at).end;
    if (at >= row.size())
        return {row.size(), row.size(), row.size()};
    const CellText t = cellAt(row, at);
    return {at, t.begin, t.end};
}

// A sort key of one cell. Text keys carry their first 24 bytes, letter case
// folded, packed big-endian into three integers, so that most comparisons
// (and every one between the usual publishers and genres) are settled
// without reading the row's text.
constexpr size_t kPrefixWords = 3;
constexpr size_t kPrefixBytes = 8 * kPrefixWords;

struct SortKey {
    union {
        uint64_t prefix[kPrefixWords];
        double number; // when isNumber
    };
    const char* text;
    uint32_t length : 31;
    uint32_t isNumber : 1;
};

int compareText(const SortKey& a, const SortKey& b)
{
    for (size_t i = 0; i < kPrefixWords; ++i)
        if (a.prefix[i] != b.prefix[i])
            return a.prefix[i] < b.prefix[i] ? -1 : 1;
    // Equal prefixes: a text shorter than the prefix is padded with zero
    // bytes, so the other text holds NUL bytes there (or is the same) and
    // the shorter comes first. Texts that fill the prefix go on with the
    // bytes after it.
    if (a.length < kPrefixBytes || b.length < kPrefixBytes)
        return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
    return compareIgnoringAsciiCase(
        std::string_view(a.text + kPrefixBytes, a.length - kPrefixBytes),
        std::string_view(b.text + kPrefixBytes, b.length - kPrefixBytes));
}

int compareKeys(const SortKey& a, const SortKey& b)
{
    if (a.isNumber && b.isNumber)
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    if (a.isNumber != b.isNumber)
        return a.isNumber ? -1 : 1;
    return compareText(a, b);
}

SortKey makeKey(std::string_view text)
{
    SortKey key;
    std::fill(std::begin(key.prefix), std::end(key.prefix), 0);
    key.text = text.data();
    key.length = static_cast<uint32_t>(std::min<size_t>(text.size(), 0x7FFFFFFF));
    double number = 0;
    key.isNumber = readsAsNumber(text, &number);
    if (key.isNumber) {
        key.number = number;
        return key;
    }
    const size_t n = std::min(text.size(), kPrefixBytes);
    for (size_t i = 0; i < n; ++i)
        key.prefix[i / 8] |= uint64_t(foldAsciiCase(static_cast<unsigned char>(text[i])))
                             << (56 - 8 * (i % 8));
    return key;
}

} // namespace

bool readsAsNumber(std::string_view text, double* value)
{
    size_t first = 0;
    while (first < text.size() && text[first] == ' ')
        ++first;
    if (first == text.size())
        return false;
    // Most keys are words: settle them before any parsing.
    const char lead = text[first];
    if (!(lead >= '0' && lead <= '9') && lead != '+' && lead != '-' && lead != '.')
        return false;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
        return false;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v,
                                     std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    if (value)
        *value = negative ? -v : v;
    return true;
}

int compareGenericKeys(std::string_view a, std::string_view b)
{
    return compareKeys(makeKey(a), makeKey(b));
}

FlexGrid::FlexGrid(QObject* parent) : QAbstractTableModel(parent)
{
    widths_.assign(cols_, -1);
    alignments_.assign(cols_, flexAlignLeftCenter);
}

FlexGrid::Batch::Batch(FlexGrid& grid) : grid_(grid)
{
    if (grid_.batchDepth_++ == 0)
        grid_.beginResetModel();
}

FlexGrid::Batch::~Batch()
{
    if (--grid_.batchDepth_ == 0) {
        grid_.endResetModel();
        // Inside a hold the new rows are told with the current cell, at its end.
        if (grid_.holdDepth_ > 0)
            grid_.pendingCurrent_ = true;
        else if (std::exchange(grid_.pendingCurrent_, false))
            emit grid_.currentCellChanged(grid_.row_, grid_.col_);
    }
}

FlexGrid::CurrentCellHold::CurrentCellHold(FlexGrid& grid) : grid_(grid) { ++grid_.holdDepth_; }

FlexGrid::CurrentCellHold::~CurrentCellHold()
{
    if (--grid_.holdDepth_ == 0 && grid_.batchDepth_ == 0 &&
        std::exchange(grid_.pendingCurrent_, false))
        emit grid_.currentCellChanged(grid_.row_, grid_.col_);
}

void FlexGrid::setRows(int rows)
{
    rows = std::max(rows, 0);
    const int old = Rows();
    if (rows == old)
        return;
    const std::string blank(static_cast<size_t>(cols_), '\0');
    if (batchDepth_ == 0) {
        if (rows > old)
            beginInsertRows({}, old, rows - 1);
        else
            beginRemoveRows({}, rows, old - 1);
    }
    rows_.resize(static_cast<size_t>(rows), blank);
    if (batchDepth_ == 0) {
        if (rows > old)
            endInsertRows();
        else
            endRemoveRows();
    }
    if (row_ >= rows)
        row_ = std::max(rows - 1, 0);
}

void FlexGrid::setCols(int cols)
{
    cols = std::max(cols, 1);
    if (cols == cols_)
        return;
    const bool signal = batchDepth_ == 0;
    if (signal)
        beginResetModel();
    for (std::string& row : rows_) {
        if (cols > cols_)
            row.append(static_cast<size_t>(cols - cols_), '\0');
        else
            row.resize(locateCell(row, cols - 1).end);
    }
    cols_ = cols;
    widths_.resize(static_cast<size_t>(cols), -1);
    alignments_.resize(static_cast<size_t>(cols), flexAlignLeftCenter);
    col_ = std::min(col_, cols - 1);
    colSel_ = std::min(colSel_, cols - 1);
    if (signal)
        endResetModel();
}

std::string_view FlexGrid::TextMatrix(int row, int col) const
{
    if (row < 0 || row >= Rows() || col < 0 || col >= cols_)
        return {};
    const std::string_view text = rows_[static_cast<size_t>(row)];
    const CellPlace p = locateCell(text, col);
    return text.substr(p.begin, p.end - p.begin);
}

void FlexGrid::setTextMatrix(int row, int col, std::string_view text)
{
    if (row < 0 || row >= Rows() || col < 0 || col >= cols_)
        return;
    std::string& r = rows_[static_cast<size_t>(row)];
    const CellPlace p = locateCell(r, col);
    std::string cell;
    appendCell(cell, text);
    r.replace(p.head, p.end - p.head, cell);
    cellChanged(row, col);
}

void FlexGrid::setRowCells(int row, const std::vector<std::string_view>& cells)
{
    if (row < 0 || row >= Rows())
        return;
    std::string& r = rows_[static_cast<size_t>(row)];
    const size_t given = std::min(cells.size(), static_cast<size_t>(cols_));
    size_t length = static_cast<size_t>(cols_) - given;
    for (size_t c = 0; c < given; ++c)
        length += encodedSize(cells[c]);
    r.clear();
    r.reserve(length);
    for (size_t c = 0; c < static_cast<size_t>(cols_); ++c)
        appendCell(r, c < given ? cells[c] : std::string_view());
    if (batchDepth_ == 0)
        emit dataChanged(index(row, 0), index(row, cols_ - 1));
}

void FlexGrid::cellChanged(int row, int col)
{
    if (batchDepth_ == 0) {
        const QModelIndex i = index(row, col);
        emit dataChanged(i, i);
    }
}

void FlexGrid::setRow(int row)
{
    row_ = std::clamp(row, 0, std::max(Rows() - 1, 0));
    notifyCurrent();
}

void FlexGrid::setCol(int col)
{
    col_ = std::clamp(col, 0, cols_ - 1);
    colSel_ = col_; // setting the column starts a new selection
    notifyCurrent();
}

void FlexGrid::notifyCurrent()
{
    if (settling())
        pendingCurrent_ = true;
    else
        emit currentCellChanged(row_, col_);
}

int FlexGrid::ColWidth(int col) const
{
    return col >= 0 && col < cols_ ? widths_[static_cast<size_t>(col)] : 0;
}

void FlexGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= cols_)
        return;
    widths_[static_cast<size_t>(col)] = twips;
    emit layoutPropertiesChanged();
}

int FlexGrid::ColAlignment(int col) const
{
    return col >= 0 && col < cols_ ? alignments_[static_cast<size_t>(col)] : flexAlignLeftCenter;
}

void FlexGrid::setColAlignment(int col, int alignment)
{
    if (col >= 0 && col < cols_)
        alignments_[static_cast<size_t>(col)] = alignment;
}

void FlexGrid::setSort(int setting)
{
    if (setting != flexSortGenericAscending || Rows() < 2)
        return;
    sortRows(std::min(col_, colSel_), std::max(col_, colSel_));
}

namespace {

// The order of the rows sorted by the K key cells that `cellsOf(row, out)`
// finds; empty when the rows are in that order already. Rows with equal keys keep their order: the row number settles ties,
// so the unstable (and faster) sort gives the stable result. The keys travel
// with their row number through the sort, so that comparisons read
// neighbouring memory rather than the rows' text.
template <size_t K, typename CellsOf>
std::vector<uint32_t> sortedOrder(size_t n, CellsOf cellsOf)
{
    struct Entry {
        SortKey key[K];
        uint32_t row;
    };
    std::vector<Entry> entries(n);
    std::string_view cells[K];
    for (size_t r = 0; r < n; ++r) {
        cellsOf(r, cells);
        entries[r].row = static_cast<uint32_t>(r);
        for (size_t j = 0; j < K; ++j)
            entries[r].key[j] = makeKey(cells[j]);
    }
    const auto before = [](const Entry& a, const Entry& b) {
        for (size_t j = 0; j < K; ++j)
            if (const int c = compareKeys(a.key[j], b.key[j]); c != 0)
                return c < 0;
        return a.row < b.row;
    };
    // A catalogue written back sorted loads in this order: one pass finds
    // that out, and the rows stay where they are.
    if (std::is_sorted(entries.begin(), entries.end(), before))
        return {};
    std::sort(entries.begin(), entries.end(), before);
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = entries[i].row;
    return order;
}

} // namespace

void FlexGrid::sortRows(int firstKey, int lastKey)
{
    const size_t n = rows_.size();
    const size_t k = static_cast<size_t>(lastKey - firstKey + 1);
    // The key cells of a row: `out` gets k views into the row's text.
    const auto cellsOf = [&](size_t r, std::string_view* out) {
        const std::string_view row = rows_[r];
        const CellPlace first = locateCell(row, firstKey);
        CellText cell{first.begin, first.end};
        for (size_t j = 0; j < k; ++j) {
            out[j] = row.substr(cell.begin, cell.end - cell.begin);
            cell = cell.end < row.size() ? cellAt(row, cell.end) : CellText{row.size(), row.size()};
        }
    };
    std::vector<uint32_t> order;
    switch (k) {
    case 1: order = sortedOrder<1>(n, cellsOf); break;
    case 2: order = sortedOrder<2>(n, cellsOf); break;
    case 3: order = sortedOrder<3>(n, cellsOf); break;
    default: {
        // Wider selections are rare: keys looked up by row number.
        std::vector<SortKey> keys(n * k);
        std::vector<std::string_view> cells(k);
        for (size_t r = 0; r < n; ++r) {
            cellsOf(r, cells.data());
            for (size_t j = 0; j < k; ++j)
                keys[r * k + j] = makeKey(cells[j]);
        }
        order.resize(n);
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            for (size_t j = 0; j < k; ++j)
                if (const int c = compareKeys(keys[a * k + j], keys[b * k + j]); c != 0)
                    return c < 0;
            return a < b;
        });
    }
    }

    if (order.empty())
        return;
    Batch batch(*this);
    std::vector<std::string> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = std::move(rows_[order[i]]);
    rows_ = std::move(sorted);
}

void FlexGrid::takeCells(FlexGrid& loaded)
{
    if (&loaded == this)
        return;
    Batch batch(*this);
    setCols(loaded.cols_);
    rows_ = std::move(loaded.rows_);
    loaded.rows_.clear();
    if (row_ >= Rows())
        row_ = std::max(Rows() - 1, 0);
}

void FlexGrid::Clear()
{
    Batch batch(*this);
    const std::string blank(static_cast<size_t>(cols_), '\0');
    for (std::string& row : rows_) {
        row = blank;
        row.shrink_to_fit();
    }
}

int FlexGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Rows();
}

int FlexGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : cols_;
}

QVariant FlexGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < static_cast<int>(columnNames_.size()))
        return QString::fromStdString(columnNames_[static_cast<size_t>(section)]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant FlexGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Rows() || index.column() >= cols_)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view text = TextMatrix(index.row(), index.column());
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::TextAlignmentRole: {
        const int a = ColAlignment(index.column());
        const Qt::Alignment vertical = a == flexAlignLeftTop      ? Qt::AlignTop
                                       : a == flexAlignLeftBottom ? Qt::AlignBottom
                                                                  : Qt::AlignVCenter;
        return QVariant::fromValue(Qt::AlignLeft | vertical);
    }
    default:
        return roleData ? roleData(index.row(), index.column(), role) : QVariant();
    }
}

} // namespace tavrin
