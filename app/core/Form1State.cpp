#include "Form1State.h"

namespace tavrin {

void InitGlobalData(Form1State& f)
{
    f.sIniFile = "bbc.ini";
    f.sDataDir = "Data";
    f.boolAskForUpdate = true;
    f.sInternetDatabase = f.sDataDir + "\\" + "internet.mdb";
    f.sLocalDatabase = "bbc.mdb";
    f.sLocalTable = "BBCSoftware";
    f.sDiskImages = "files";
    f.sTempDir = "Temp";
    f.sTransferDir = "Transfer";
    f.iCatalogueView = 1;
    f.boolInternet = false;
}

} // namespace tavrin
