#include "CatalogueGrid.h"

#include "Catalogue.h"
#include "core/FileHelpers.h"
#include "core/Form1State.h"

#include <array>

namespace tavrin {

void SetupGrid(Form1State& f)
{
    FlexGrid& g = f.MSFlexGrid;
    g.AllowBigSelection = false;
    g.setCols(8);
    g.setRows(f.iProgRange);
    g.FixedCols = 0;
    g.FixedRows = 0;
    g.WordWrap = true;
    g.ForeColor = kYellow;
    g.BackColor = kBlack;
    static constexpr std::array<int, 8> widths = {1300, 3000, 0, 0, 0, 0, 0, 0};
    for (int c = 0; c < 8; ++c)
        g.setColWidth(c, widths[static_cast<size_t>(c)]);
    g.ScrollBars = FlexGrid::flexScrollBarVertical;
    int total = 0;
    for (int c = 0; c < 8; ++c) {
        total += g.ColWidth(c);
        g.setColAlignment(c, FlexGrid::flexAlignLeftCenter);
    }
    g.Width = total + 320;
    emit g.layoutPropertiesChanged();
}

void Sort(Form1State& f)
{
    FlexGrid& g = f.MSFlexGrid;
    const int mode = f.iSort;
    if (mode < 0 || mode > 2)
        return;
    // The rows and the current cell move: told once, at the end.
    FlexGrid::CurrentCellHold hold(g);
    g.setCol(2);
    if (mode == 0 || mode == 1)
        g.setColSel(mode);
    g.setSort(FlexGrid::flexSortGenericAscending);
    g.setRow(0);
    if (mode == 0 || mode == 1)
        g.setCol(mode);
}

std::string CurrentDescription(const Form1State& f)
{
    const FlexGrid& g = f.MSFlexGrid;
    const std::string_view text = g.TextMatrix(g.Row(), colDescription1);
    return text.empty() ? std::string(" ") : std::string(text);
}

std::string PictureStem(const std::string& path)
{
    const std::string name = GetFilename(path);
    return GetDirPath(path) + name.substr(0, name.find('.'));
}

SoftwarePictures FindSoftwarePictures(const std::string& path)
{
    const std::string stem = PictureStem(path);
    auto firstFound = [](const std::string& a, const std::string& b) -> std::string {
        if (FileExists(a))
            return a;
        return FileExists(b) ? b : std::string();
    };
    SoftwarePictures result;
    result.boxPicture = firstFound(stem + "-box.jpg", stem + "-box.gif");
    result.secondPicture = firstFound(stem + ".jpg", stem + ".gif");
    return result;
}

SoftwarePictures ShowSoftwarePicture(Form1State& f, const std::string& path)
{
    f.sFilename = GetFilename(path);
    const size_t dot = f.sFilename.find('.');
    f.sFilenameNoExt = dot == std::string::npos ? f.sFilename : f.sFilename.substr(0, dot);
    SoftwarePictures result = FindSoftwarePictures(path);
    result.description = CurrentDescription(f);
    return result;
}

GridClickResult GridClick(Form1State& f)
{
    const FlexGrid& g = f.MSFlexGrid;
    GridClickResult r;
    f.sFullFilename = std::string(g.TextMatrix(g.Row(), colFilepath));
    if (f.boolInternet) {
        const std::string_view description = g.TextMatrix(g.Row(), colDescription1);
        r.showDescriptionOnly = true;
        r.description = std::string(description.empty() ? std::string_view(f.sFullFilename)
                                                        : description);
        return r;
    }
    if (!f.sFullFilename.empty()) {
        r.pictures = ShowSoftwarePicture(f, f.sFullFilename);
    } else {
        // A row without a file: the title shown before goes, with its pictures.
        f.sFilename.clear();
        f.sFilenameNoExt.clear();
        r.pictures.description = CurrentDescription(f);
    }
    r.showPictures = true;
    r.refillCatalogue = f.iCatalogueView == 2;
    return r;
}

} // namespace tavrin
