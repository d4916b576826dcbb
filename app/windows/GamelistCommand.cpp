#include "GamelistCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Gamelist.h"
#include "core/Configuration.h"
#include "core/Form1State.h"
#include "launch/FrontEndLaunch.h"

#include <ostream>
#include <stdexcept>

namespace tavrin {

int RunExportGamelistCommand(const std::vector<std::string>& words, const std::string& appFolder,
                             std::ostream& err)
{
    if (words.size() != 2 || (words[0] != "es-de" && words[0] != "pegasus")) {
        err << "usage: tavrin " << kExportGamelistOption << " es-de|pegasus FOLDER\n";
        return 2;
    }
    const GamelistFormat format = words[0] == "es-de" ? GamelistFormat::EsDe : GamelistFormat::Pegasus;
    Form1State f;
    InitGlobalData(f);
    f.sAppPath = appFolder;
    std::string problem;
    ReadIni(f, &problem);
    if (!problem.empty())
        err << "tavrin: " << problem << "\n";
    try {
        TransferFromAccess(f, f.sLocalDatabase, f.sLocalTable);
        std::vector<int> rows(static_cast<size_t>(f.MSFlexGrid.Rows()));
        for (size_t r = 0; r < rows.size(); ++r)
            rows[r] = static_cast<int>(r);
        GamelistExport options{format, words[1], appFolder, {}};
        if (format == GamelistFormat::Pegasus)
            options.launchLine = FrontEndLaunchLine(f.sEmuApp, f.sDataDestination, kPegasusFilePath);
        const GamelistExportReport report = ExportGamelist(
            GamelistTitlesOf(f.MSFlexGrid, rows), ReadPlayHistory(f.sLocalDatabase), options);
        err << GamelistExportSummary(report) << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << "tavrin: the catalogue \"" << f.sLocalDatabase << "\" could not be exported: "
            << e.what() << "\n";
        return 1;
    }
}

} // namespace tavrin
