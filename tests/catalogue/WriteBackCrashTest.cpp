// A write-back killed part way must leave the catalogue either as it was or
// fully rewritten: never a mixture.

#include "catalogue/Catalogue.h"
#include "core/TextHelpers.h"

#include "CatalogueFixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr int kRecords = 40000;

std::vector<Record> unsortedCatalogue()
{
    std::vector<Record> records;
    for (int i = 0; i < kRecords; ++i) {
        // Publishers in falling order, so that the sort reverses the table.
        records.push_back(rec(concat({"P", std::to_string(1000000 + kRecords - i)}),
                              concat({"Title ", std::to_string(i)}), "Genre",
                              concat({"Files\\t", std::to_string(i), ".ssd"}), i, std::string(120, 'd')));
    }
    return records;
}

enum class State { Original, Rewritten, Mixed };

State stateOf(const std::string& path)
{
    const std::vector<Record> stored = readCatalogue(path);
    if (stored.size() != static_cast<size_t>(kRecords))
        return State::Mixed;
    bool original = true, rewritten = true;
    for (int i = 0; i < kRecords && (original || rewritten); ++i) {
        const Record& r = stored[static_cast<size_t>(i)];
        original = original && r.software == "Title " + std::to_string(i);
        rewritten = rewritten && r.software == "Title " + std::to_string(kRecords - 1 - i) &&
                    r.index == i;
    }
    return original ? State::Original : rewritten ? State::Rewritten : State::Mixed;
}

} // namespace

TEST(WriteBackCrash, AKilledWriteBackLeavesTheOldOrTheNewCatalogue)
{
    TempDir tmp;
    const std::string master = (tmp / "master.mdb").string();
    writeCatalogue(master, unsortedCatalogue());

    int originals = 0, rewrites = 0;
    for (int delayMs : {0, 2, 5, 10, 20, 40, 80, 160, 400}) {
        SCOPED_TRACE(delayMs);
        const std::string path = (tmp / "bbc.mdb").string();
        std::filesystem::copy_file(master, path, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(path + "-journal");

        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            Form1State f;
            TransferFromAccess(f, path, "BBCSoftware");
            (void)!write(ready[1], "r", 1);
            SortAndTransferToAccess(f);
            _exit(0);
        }
        close(ready[1]);
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const State s = stateOf(path);
        EXPECT_NE(s, State::Mixed);
        originals += s == State::Original;
        rewrites += s == State::Rewritten;
    }
    // The delays span the write-back: some kills land before its commit.
    EXPECT_GT(originals, 0);
    RecordProperty("killed-before-commit", originals);
    RecordProperty("completed", rewrites);
}
