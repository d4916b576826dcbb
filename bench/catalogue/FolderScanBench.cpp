// Adding a folder of 10,000 disk and tape images to a catalogue of 1,000
// records, against a floor measured in the same run: the same files listed
// and their first 768 bytes read, and the same records inserted with the
// SQLite C API in one transaction.
//
//   tavrin_catalogue_bench --benchmark_filter=AddFolder
//
// The folder tree is generated once into $TMPDIR/tavrin-bench and kept.

#include "catalogue/Catalogue.h"
#include "catalogue/Dao.h"
#include "catalogue/FolderScan.h"
#include "core/Form1State.h"
#include "diskimage/DiskCatalogue.h"
#include "diskimage/DiskImageFile.h"

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

// 100 publishers of 100 titles: eight in ten DFS disks with a title (some
// in a folder of their own below the publisher), one tape, one zip. Each
// disk file holds its two catalogue sectors and a little more; the scan
// reads no further.
fs::path softwareTree(int files)
{
    const fs::path root =
        fs::temp_directory_path() / "tavrin-bench" / ("software-" + std::to_string(files));
    const fs::path done = root / ".complete";
    if (fs::exists(done))
        return root;
    fs::remove_all(root);
    std::mt19937 rng(7);
    std::vector<uint8_t> image = MakeBlankImage();
    image.resize(1024);
    const int perPublisher = 100;
    for (int i = 0; i < files; ++i) {
        const int publisher = i / perPublisher;
        fs::path folder = root / ("Publisher " + std::to_string(publisher));
        if (i % 7 == 0)
            folder /= "Compilations";
        fs::create_directories(folder);
        const std::string stem = "title" + std::to_string(i);
        const int kind = i % 10;
        std::ofstream out(folder / (stem + (kind == 8   ? ".uef"
                                            : kind == 9 ? ".zip"
                                                        : ".ssd")),
                          std::ios::binary);
        if (kind < 8) {
            const std::string title = "GAME " + std::to_string(rng() % 10000000);
            std::fill(image.begin(), image.begin() + 8, ' ');
            std::fill(image.begin() + 0x100, image.begin() + 0x104, ' ');
            WriteCatalogueTitle(image, title);
            out.write(reinterpret_cast<const char*>(image.data()),
                      static_cast<std::streamsize>(image.size()));
        } else {
            out << "UEF File!";
        }
    }
    std::ofstream(done) << "";
    return root;
}

// A catalogue of 1,000 records elsewhere.
fs::path templateCatalogue()
{
    const fs::path file = fs::temp_directory_path() / "tavrin-bench" / "folder-scan-base.mdb";
    if (fs::exists(file))
        return file;
    Form1State f;
    f.sDatabaseFile = file.string();
    CreateDatabase(f);
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(file.string());
    dao::Recordset rs = db.OpenRecordset(kCatalogueTable);
    db.BeginTrans();
    for (int i = 1; i < 1000; ++i) {
        rs.AddNew();
        rs.setField("Publisher", dao::Value("Acornsoft"));
        rs.setField("Software", dao::Value("Game " + std::to_string(i)));
        rs.setField("Filepath", dao::Value("Disks\\Acornsoft\\game" + std::to_string(i) + ".ssd"));
        rs.setField("Index", dao::Value(i));
        rs.Update();
    }
    db.CommitTrans();
    return file;
}

// The floor: list, read the heads, insert the rows raw.
void floorRun(const fs::path& tree, const fs::path& database)
{
    std::vector<std::string> badNames, unreadable;
    const std::vector<std::string> files = FindSoftwareFiles(tree.string(), badNames, unreadable);
    sqlite3* db = nullptr;
    sqlite3_open(database.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO BBCSoftware (Publisher, Software, Genre, Filepath, Data1, "
                       "Data2, \"Index\") VALUES (?1, ?2, ' ', ?3, '0', '0', ?4)",
                       -1, &insert, nullptr);
    int index = 1000;
    for (const std::string& file : files) {
        const DiskImageHead head = ReadDiskImageHead(file);
        const std::string title = ReadCatalogueTitle(head.bytes);
        const fs::path p(file);
        const std::string publisher = p.parent_path().filename().string();
        sqlite3_bind_text(insert, 1, publisher.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, file.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 4, index++);
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

void BM_AddFolderAgainstFloor(benchmark::State& state)
{
    const int files = static_cast<int>(state.range(0));
    const fs::path tree = softwareTree(files);
    const fs::path base = templateCatalogue();
    const fs::path work = fs::temp_directory_path() / "tavrin-bench" / "folder-scan-work.mdb";
    const fs::path floorDb = fs::temp_directory_path() / "tavrin-bench" / "folder-scan-floor.mdb";
    double scan = 0, floor = 0;
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(base, work, fs::copy_options::overwrite_existing);
        fs::copy_file(base, floorDb, fs::copy_options::overwrite_existing);
        floor += secondsOf([&] { floorRun(tree, floorDb); });
        state.ResumeTiming();
        scan += secondsOf([&] {
            added = AddFolderOfSoftware(work.string(), tree.string(), tree.string()).added;
        });
    }
    if (added != files)
        state.SkipWithError("not every file was added");
    state.counters["scan_s"] = scan / static_cast<double>(state.iterations());
    state.counters["floor_s"] = floor / static_cast<double>(state.iterations());
    state.counters["ratio"] = floor > 0 ? scan / floor : 0;
}

} // namespace

BENCHMARK(BM_AddFolderAgainstFloor)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);
