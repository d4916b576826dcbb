#pragma once
// The catalogue grid's shape, sort modes, row selection and the box-art
// lookup beside each software file.

#include <string>

namespace tavrin {

struct Form1State;

// Window colours as blue-green-red values.
inline constexpr unsigned kYellow = 0x00FFFF;
inline constexpr unsigned kBlack = 0x000000;
inline constexpr unsigned kPurple = 0x800080;

// Shapes the grid for iProgRange rows: 8 columns, widths 1300, 3000 and six
// hidden columns, left and vertically centred, yellow on black.
void SetupGrid(Form1State& f);

// Sorts every row by the key columns of mode iSort (0: publisher, title,
// genre; 1: title, genre; 2: genre); any other mode changes nothing.
void Sort(Form1State& f);

// What the picture area shows for a software file.
struct SoftwarePictures {
    std::string boxPicture;    // the found box picture, or "" for the placeholder
    std::string secondPicture; // the found screen picture, or "" for the placeholder
    std::string description;   // for the description box
};

// The placeholder pictures.
inline constexpr const char* kBoxPlaceholder = "Images\\logosp.jpg";
inline constexpr const char* kScreenPlaceholder = "Images\\logosl.jpg";
inline constexpr const char* kBackgroundPicture = "Images\\background.jpg";

// Where the pictures of the file P are looked for: P's folder and its name
// up to the first "." ("games\elite.disk.ssd" gives "games\elite").
std::string PictureStem(const std::string& path);
// The pictures found beside the file P, in the order below; the
// description is left empty.
SoftwarePictures FindSoftwarePictures(const std::string& path);

// Looks for the pictures beside the file P (P-box.jpg, P-box.gif, P.jpg,
// P.gif, P without its extension), sets sFilename and sFilenameNoExt, and
// takes the description of the grid's current row.
SoftwarePictures ShowSoftwarePicture(Form1State& f, const std::string& path);

// What a click on a grid row asks of the window.
struct GridClickResult {
    bool showPictures = false;  // pictures (placeholders for a row without a file) and description
    SoftwarePictures pictures;
    bool showDescriptionOnly = false; // Internet list: only the description box
    std::string description;
    bool refillCatalogue = false; // the disk catalogue panel is shown and follows the row
};

// The grid click: the current row becomes the current file.
GridClickResult GridClick(Form1State& f);

// The description of the grid's current row, " " when it is empty.
std::string CurrentDescription(const Form1State& f);

} // namespace tavrin
