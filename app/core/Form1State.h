#pragma once
// The program's global state: the public variables of the main window Form1,
// read and written by every window and routine. Nothing else is shared.

#include "FlexGrid.h"

#include <string>

namespace tavrin {

class Prompt;

// A flag of the original 16-bit world: True has all bits set.
using Flag = bool;

struct Form1State {
    Form1State() = default;
    Form1State(const Form1State&) = delete;
    Form1State& operator=(const Form1State&) = delete;

    // The grid control of the main window, with the catalogue's rows.
    FlexGrid MSFlexGrid;

    Flag boolInternet = false;
    int iProgRange = 0; // number of catalogue records, also the number of grid rows
    int iSort = 0;      // current sort mode of the grid, 0 to 2
    int iZipped = 0;    // the current software file came out of a zip archive
    std::string sDatabaseFile;
    // The grid holds every record of sDatabaseFile as the last load read
    // them; after a failed load it does not, and nothing may be written back.
    Flag gridLoaded = false;
    std::string sDataDestination;
    std::string sDataDir;
    std::string sDiskImages;
    std::string sEmuApp;
    std::string sExt;
    std::string sFilename;
    std::string sFilenameNoExt;
    std::string sFullFilename;
    std::string sIniFile;
    std::string sInternetDatabase;
    std::string sInternetSiteName;
    std::string sLocalDatabase;
    std::string sLocalTable;
    std::string sDbTable;
    std::string sURLMain;
    std::string sTempDir;
    std::string sTransferDir;
    std::string strZipFilename;
    Flag boolAskForUpdate = false;
    int iCatalogueView = 0; // 1: box-art pictures shown, 2: disk catalogue panel shown

    // The application folder (the folder of the program); the configuration
    // file lives there.
    std::string sAppPath;

    // The stored emulator's name as the configuration file gave it.
    std::string sBeebEmu;
    // Check marks of the Options menu's emulator items: the current emulator
    // is the checked one, and at most one is checked.
    Flag mnuBeebEmChecked = false;
    Flag mnuB_EmChecked = false;
    Flag mnuPcBBCChecked = false;
    Flag mnuElectrEmChecked = false;
};

// Assigns the start values in their fixed order. Reading the configuration
// file, which follows, belongs to the configuration dialog.
void InitGlobalData(Form1State& f);

} // namespace tavrin
