// The export and import of 10,000 titles with a box picture and a
// screenshot each, as ES-DE and Pegasus lists, against the floor measured
// in the same run: a plain copy of the same picture files plus the same
// number of rows written raw in one transaction.
//
//   tavrin_catalogue_bench --benchmark_filter=Gamelist
//
// Arg 0 is ES-DE, 1 Pegasus. The trees are generated once into
// $TMPDIR/tavrin-bench/gamelist-10000 and kept.

#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueGrid.h"
#include "catalogue/Dao.h"
#include "catalogue/Gamelist.h"
#include "core/Form1State.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tavrin;

namespace
{

constexpr int kTitles = 10000;

fs::path root() { return fs::temp_directory_path() / "tavrin-bench" / "gamelist-10000"; }

// Where title i lies below a tree: 100 publishers of 100 titles.
std::string titlePath(int i, char separator)
{
    return "Publisher " + std::to_string(i / 100) + separator + "Title " + std::to_string(i);
}

// A picture of 8 to 40 KB that starts as a JPEG file does.
void writePicture(const fs::path& file, std::mt19937& rng)
{
    std::string bytes(8192 + rng() % 32768, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    bytes.replace(0, 4, "\xFF\xD8\xFF\xE0");
    std::ofstream(file, std::ios::binary) << bytes;
}

bool played(int i) { return i % 5 == 0; }

// "lib": the catalogue's own software, pictures beside each file, and its
// catalogue "lib.mdb" with every fifth title played and a favourite.
// "imp": other front-ends' collection of bare files, with covers/ and
// screenshots/ (links to lib's pictures) and both lists naming them.
void makeTrees()
{
    const fs::path done = root() / ".complete";
    if (fs::exists(done))
        return;
    fs::remove_all(root());
    std::mt19937 rng(21);
    Form1State f;
    f.sDatabaseFile = (root() / "lib.mdb").string();
    fs::create_directories(root());
    CreateDatabase(f);
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(f.sDatabaseFile);
    dao::Recordset rs = db.OpenRecordset(kCatalogueTable);
    rs.MoveFirst();
    rs.Delete();
    std::string xml = "<?xml version=\"1.0\"?>\n<gameList>\n";
    std::string pegasus = "collection: BBC Micro\nextensions: ssd\n";
    db.BeginTrans();
    for (int i = 0; i < kTitles; ++i) {
        const fs::path file = root() / "lib" / "Files" / (titlePath(i, '/') + ".ssd");
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << std::string(1024, '\xE5');
        const std::string stem = file.parent_path() / file.stem();
        writePicture(stem + "-box.jpg", rng);
        writePicture(stem + ".jpg", rng);
        const std::string name = "Game " + std::to_string(i);
        const std::string publisher = "Publisher " + std::to_string(i / 100);
        const std::string desc = "Find the " + std::to_string(rng() % 1000) +
                                 " crystals & escape.\nTwo levels.";
        rs.AddNew();
        rs.setField("Publisher", dao::Value(publisher));
        rs.setField("Software", dao::Value(name));
        rs.setField("Genre", dao::Value("Arcade"));
        rs.setField("Filepath", dao::Value("Files\\" + titlePath(i, '\\') + ".ssd"));
        rs.setField("Data1", dao::Value("0"));
        rs.setField("Data2", dao::Value("0"));
        rs.setField("Description1", dao::Value(desc));
        rs.setField("Index", dao::Value(i));
        rs.Update();

        const std::string rom = "roms/" + titlePath(i, '/');
        const fs::path bare = root() / "imp" / (rom + ".ssd");
        for (const char* kind : {"covers", "screenshots"})
            fs::create_directories(root() / "imp" / kind / bare.parent_path().lexically_relative(root() / "imp"));
        fs::create_directories(bare.parent_path());
        fs::copy_file(file, bare);
        fs::create_hard_link(stem + "-box.jpg", root() / "imp" / "covers" / (rom + ".jpg"));
        fs::create_hard_link(stem + ".jpg", root() / "imp" / "screenshots" / (rom + ".jpg"));
        xml += "\t<game>\n\t\t<path>./" + rom + ".ssd</path>\n\t\t<name>" + name +
               "</name>\n\t\t<desc>Find the crystals &amp; escape.\nTwo levels.</desc>\n\t\t"
               "<publisher>" + publisher + "</publisher>\n\t\t<genre>Arcade</genre>\n";
        if (played(i))
            xml += "\t\t<favorite>true</favorite>\n\t\t<playcount>3</playcount>\n"
                   "\t\t<lastplayed>20261208T182038</lastplayed>\n";
        xml += "\t</game>\n";
        pegasus += "\ngame: " + name + "\nfile: " + rom + ".ssd\npublisher: " + publisher +
                   "\ngenre: Arcade\ndescription: Find the crystals & escape.\n Two levels.\n"
                   "assets.box_front: covers/" + rom + ".jpg\nassets.screenshot: screenshots/" +
                   rom + ".jpg\n";
    }
    db.CommitTrans();
    rs.Close();
    db.Close();
    std::ofstream(root() / "imp" / kEsDeGamelist) << xml << "</gameList>\n";
    std::ofstream(root() / "imp" / kPegasusMetadata) << pegasus;
    for (int i = 0; i < kTitles; ++i)
        if (played(i)) {
            const std::string path = "Files\\" + titlePath(i, '\\') + ".ssd";
            RecordPlayStarted(f.sDatabaseFile, path, "2026-12-08T18:20:38+01:00");
            SetFavourite(f.sDatabaseFile, path, true);
        }
    Form1State blank;
    blank.sDatabaseFile = (root() / "blank.mdb").string();
    CreateDatabase(blank);
    std::ofstream(done) << "";
}

// The pictures of each title in a tree, in title order.
std::vector<fs::path> picturesOf(bool imported)
{
    std::vector<fs::path> pictures;
    for (int i = 0; i < kTitles; ++i) {
        if (imported) {
            const std::string rom = "roms/" + titlePath(i, '/') + ".jpg";
            pictures.push_back(root() / "imp" / "covers" / rom);
            pictures.push_back(root() / "imp" / "screenshots" / rom);
        } else {
            const std::string stem = (root() / "lib" / "Files" / titlePath(i, '/')).string();
            pictures.push_back(stem + "-box.jpg");
            pictures.push_back(stem + ".jpg");
        }
    }
    return pictures;
}

// The floor: the picture files copied as they are, and one row a title
// inserted into a blank catalogue in one transaction.
void floorWork(const std::vector<fs::path>& pictures, const fs::path& copies)
{
    int n = 0;
    for (const fs::path& picture : pictures)
        fs::copy_file(picture, copies / (std::to_string(n++) + ".jpg"));
    sqlite3* db = nullptr;
    sqlite3_open((root() / "floor.mdb").c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO BBCSoftware (Publisher, Software, Genre, Filepath, Data1, "
                       "Data2, Description1, \"Index\") VALUES (?1, ?2, 'Arcade', ?3, '0', '0', "
                       "'Find the crystals & escape.', ?4)",
                       -1, &insert, nullptr);
    for (int i = 0; i < kTitles; ++i) {
        const std::string publisher = "Publisher " + std::to_string(i / 100);
        const std::string name = "Game " + std::to_string(i);
        const std::string path = "roms\\" + titlePath(i, '\\') + ".ssd";
        sqlite3_bind_text(insert, 1, publisher.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 4, i + 1);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The floor's seconds, from no copies and a blank catalogue.
double floorRun(const std::vector<fs::path>& pictures)
{
    const fs::path copies = root() / "floor";
    fs::remove_all(copies);
    fs::create_directories(copies);
    fs::copy_file(root() / "blank.mdb", root() / "floor.mdb", fs::copy_options::overwrite_existing);
    return secondsOf([&] { floorWork(pictures, copies); });
}


void report(benchmark::State& state, double work, double floor)
{
    const auto n = static_cast<double>(state.iterations());
    state.counters["work_s"] = work / n;
    state.counters["floor_s"] = floor / n;
    state.counters["ratio"] = floor > 0 ? work / floor : 0;
}

// The window's export: the catalogue and its history are loaded already.
void BM_GamelistExportAgainstFloor(benchmark::State& state)
{
    makeTrees();
    const GamelistFormat format = state.range(0) ? GamelistFormat::Pegasus : GamelistFormat::EsDe;
    const std::string lib = (root() / "lib.mdb").string();
    Form1State f;
    TransferFromAccess(f, lib, kCatalogueTable);
    const PlayHistory history = ReadPlayHistory(lib);
    std::vector<int> rows(static_cast<size_t>(f.MSFlexGrid.Rows()));
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r] = static_cast<int>(r);
    const std::vector<fs::path> pictures = picturesOf(false);
    const fs::path out = root() / "out";
    double work = 0, floor = 0;
    GamelistExportReport done;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        floor += floorRun(pictures);
        state.ResumeTiming();
        work += secondsOf([&] {
            done = ExportGamelist(GamelistTitlesOf(f.MSFlexGrid, rows), history,
                                  {format, out.string(), (root() / "lib").string(),
                                   "b-em -disc {file.path} -autoboot"});
        });
    }
    if (done.written != kTitles || !done.pictures.empty())
        state.SkipWithError("not every title and picture was written");
    report(state, work, floor);
}

// Into a blank catalogue: every title added, its pictures placed beside it.
void BM_GamelistImportAgainstFloor(benchmark::State& state)
{
    makeTrees();
    const fs::path imp = root() / "imp";
    const fs::path list = imp / (state.range(0) ? kPegasusMetadata : kEsDeGamelist);
    const fs::path into = root() / "imported.mdb";
    const std::vector<fs::path> pictures = picturesOf(true);
    double work = 0, floor = 0;
    GamelistImportReport done;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kTitles; ++i) {
            const std::string stem = (imp / "roms" / titlePath(i, '/')).string();
            fs::remove(stem + "-box.jpg");
            fs::remove(stem + ".jpg");
        }
        fs::copy_file(root() / "blank.mdb", into, fs::copy_options::overwrite_existing);
        floor += floorRun(pictures);
        state.ResumeTiming();
        work += secondsOf([&] {
            done = ImportGamelist(into.string(), list.string(), imp.string(), {});
        });
    }
    if (done.added != kTitles || !done.pictures.empty())
        state.SkipWithError("not every title and picture was imported");
    report(state, work, floor);
}

} // namespace

BENCHMARK(BM_GamelistExportAgainstFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GamelistImportAgainstFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
