// Hostile archives: names that climb out of the extraction folder,
// symbolic links, damaged and truncated archives, lying headers and
// archives that would fill the disk. Nothing is ever written outside the
// folder, and no half-written file is left under its final name.

#include "VarnockTestSupport.h"

#include <zlib.h>

#include <set>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace varnock::test {
namespace {

void Le16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v));
    out.push_back(static_cast<char>(v >> 8));
}
void Le32(std::string& out, uint32_t v)
{
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}
void Le64(std::string& out, uint64_t v)
{
    Le32(out, static_cast<uint32_t>(v));
    Le32(out, static_cast<uint32_t>(v >> 32));
}

std::string RawDeflate(const std::string& data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A one-entry deflated archive whose headers declare `declaredSize`
// (in ZIP64 fields), whatever the data really holds.
std::string LyingArchive(const std::string& name, const std::string& data, uint64_t declaredSize)
{
    std::string packed = RawDeflate(data);
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                               static_cast<uInt>(data.size())));
    std::string extra;
    Le16(extra, 1);
    Le16(extra, 16);
    Le64(extra, declaredSize);
    Le64(extra, packed.size());
    std::string zip;
    Le32(zip, 0x04034b50);
    Le16(zip, 45);
    Le16(zip, 0);
    Le16(zip, 8);
    Le16(zip, 0);
    Le16(zip, 0x21);
    Le32(zip, crc);
    Le32(zip, 0xFFFFFFFF);
    Le32(zip, 0xFFFFFFFF);
    Le16(zip, static_cast<uint32_t>(name.size()));
    Le16(zip, static_cast<uint32_t>(extra.size()));
    zip += name + extra + packed;
    uint32_t central = static_cast<uint32_t>(zip.size());
    Le32(zip, 0x02014b50);
    Le16(zip, 45);
    Le16(zip, 45);
    Le16(zip, 0);
    Le16(zip, 8);
    Le16(zip, 0);
    Le16(zip, 0x21);
    Le32(zip, crc);
    Le32(zip, 0xFFFFFFFF);
    Le32(zip, 0xFFFFFFFF);
    Le16(zip, static_cast<uint32_t>(name.size()));
    Le16(zip, static_cast<uint32_t>(extra.size()));
    Le16(zip, 0);
    Le16(zip, 0);
    Le16(zip, 0);
    Le32(zip, 0);
    Le32(zip, 0);
    zip += name + extra;
    uint32_t centralSize = static_cast<uint32_t>(zip.size()) - central;
    Le32(zip, 0x06054b50);
    Le16(zip, 0);
    Le16(zip, 0);
    Le16(zip, 1);
    Le16(zip, 1);
    Le32(zip, centralSize);
    Le32(zip, central);
    Le16(zip, 0);
    return zip;
}

// Every file below the test folder outside `out` that the test did not make.
std::vector<std::string> StrayFiles(const TempDir& t, const std::set<std::string>& expected)
{
    std::vector<std::string> stray;
    for (auto& entry : fs::recursive_directory_iterator(t.path())) {
        std::string rel = fs::relative(entry.path(), t.path()).string();
        if (rel == "out" || rel.rfind("out/", 0) == 0 || expected.count(rel))
            continue;
        stray.push_back(rel);
    }
    return stray;
}

struct UnsafeName {
    std::string name;
    std::string reason;
};

TEST(Hostile, NamesThatClimbOutAreSkippedWhetherFoldersAreKeptOrJunked)
{
    TempDir t;
    std::string absolute = (t / "abs.txt").string();
    UnsafeName names[] = {
        {"../evil1.txt", "climbs"},
        {"good/../../evil2.txt", "climbs"},
        {"..\\evil3.txt", "climbs"},
        {"good\\..\\..\\evil4.txt", "climbs"},
        {absolute, "absolute"},
        {"\\abs5.txt", "absolute"},
        {"C:\\evil6.txt", "drive letter"},
        {"c:evil7.txt", "drive letter"},
        {"C:/evil8.txt", "drive letter"},
        {"./../evil9.txt", "climbs"},
    };
    ZipBuilder b(t / "h.zip");
    b.add("good/ok.txt", "fine");
    for (const UnsafeName& n : names)
        b.add(n.name, "pwned");
    b.close();
    for (VARIANT_BOOL honor : {VARIANT_TRUE, VARIANT_FALSE}) {
        fs::remove_all(t / "out");
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        u->put_HonorDirectories(honor);
        EXPECT_EQ(Unzip(u.p, (t / "h.zip").string(), (t / "out").string()), PK_WARN);
        EXPECT_EQ(StrayFiles(t, {"h.zip"}), std::vector<std::string>{});
        auto out = FolderContents(t / "out");
        EXPECT_EQ(out.size(), 1u);
        EXPECT_EQ(out.begin()->second, "fine");
        std::string text = LastMessage(u.p);
        for (const UnsafeName& n : names) {
            EXPECT_NE(text.find("skipping: " + n.name), std::string::npos) << n.name << "\n" << text;
        }
        EXPECT_NE(text.find("a drive letter"), std::string::npos);
        EXPECT_NE(text.find("an absolute path"), std::string::npos);
        EXPECT_NE(text.find("climbs out of the extraction folder"), std::string::npos);
    }
}

TEST(Hostile, SymbolicLinksNeverLeadAWriteOutOfTheFolder)
{
    TempDir t;
    fs::create_directories(t / "outside");
    ZipBuilder b(t / "l.zip");
    b.link("esc", "../outside");
    b.link("abs", (t / "outside").string());
    b.link("deep/up", "../../outside/x");
    b.link("fine", "deep/target.txt");
    b.add("deep/target.txt", "target");
    b.add("esc/pwn.txt", "pwned");  // lands in a real folder "esc" inside
    b.add("abs/pwn.txt", "pwned");
    b.close();
    for (VARIANT_BOOL honor : {VARIANT_TRUE, VARIANT_FALSE}) {
        fs::remove_all(t / "out");
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        u->put_HonorDirectories(honor);
        EXPECT_EQ(Unzip(u.p, (t / "l.zip").string(), (t / "out").string()), PK_WARN);
        EXPECT_TRUE(fs::is_empty(t / "outside"));
        EXPECT_EQ(StrayFiles(t, {"l.zip", "outside"}), std::vector<std::string>{});
        for (auto& entry : fs::recursive_directory_iterator(t / "out")) {
            if (entry.is_symlink()) {
                auto target = fs::weakly_canonical(entry.path().parent_path() / fs::read_symlink(entry.path()));
                auto root = fs::canonical(t / "out");
                EXPECT_EQ(target.string().rfind(root.string(), 0), 0u) << entry.path();
            }
        }
        std::string text = LastMessage(u.p);
        EXPECT_NE(text.find("leads out of the extraction folder"), std::string::npos) << text;
    }
}

TEST(Hostile, NothingIsWrittenThroughALinkAlreadyInTheFolder)
{
    TempDir t;
    fs::create_directories(t / "outside");
    fs::create_directories(t / "out");
    fs::create_directory_symlink("../outside", t / "out/sub");
    ZipBuilder b(t / "s.zip");
    b.add("sub/pwn.txt", "pwned");
    b.close();
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    EXPECT_EQ(Unzip(u.p, (t / "s.zip").string(), (t / "out").string()), PK_WARN);
    EXPECT_TRUE(fs::is_empty(t / "outside"));
    EXPECT_NE(LastMessage(u.p).find("symbolic link"), std::string::npos);
}

// Links that stay inside one by one but lead out through each other, also
// when the first of them came with an earlier extraction into the folder.
TEST(Hostile, ChainedLinksNeverResolveOutsideTheFolder)
{
    using Links = std::vector<std::pair<std::string, std::string>>;
    struct Row {
        Links earlier, links;
        std::set<std::string> refused;
    } rows[] = {
        {{}, {{"d", "."}, {"e", "d/.."}}, {"e"}},
        {{}, {{"e", "d/.."}, {"d", "."}}, {"e"}},
        {{}, {{"a/b", ".."}, {"c", "a/b/.."}}, {"c"}},
        {{}, {{"a/b", ".."}, {"c", "a/b/../x"}, {"f", "c/../.."}}, {"c", "f"}},
        {{{"d", "."}}, {{"e", "d/.."}}, {"e"}},
        {{}, {{"x", "y"}, {"y", "x"}, {"z", "x/.."}}, {"x", "y", "z"}}, // a loop resolves nowhere
        // Links that stay inside, also through each other, are made.
        {{}, {{"lib.so", "lib.so.1"}, {"sub/up", "../lib.so"}, {"d", "."}, {"g", "d/sub/../.."}}, {"g"}},
        {{}, {{"a/b", ".."}, {"c", "a/b"}, {"h", "sub/../lib.so.1"}}, {}},
    };
    for (const Row& row : rows) {
        TempDir t;
        fs::create_directories(t / "out");
        auto extract = [&](const Links& links) {
            ZipBuilder b(t / "c.zip");
            b.add("lib.so.1", "library");
            b.add("sub/file", "file");
            for (auto& [name, target] : links)
                b.link(name, target);
            b.close();
            Releaser<_UnzipFiles> u{RealComponent().unzip()};
            Unzip(u.p, (t / "c.zip").string(), (t / "out").string());
            return LastMessage(u.p);
        };
        if (!row.earlier.empty())
            extract(row.earlier);
        std::string text = extract(row.links);
        std::string label = row.links.back().first + " -> " + row.links.back().second;
        auto root = fs::canonical(t / "out");
        for (auto& [name, target] : row.links) {
            bool refused = row.refused.count(name) > 0;
            EXPECT_EQ(text.find("skipping: " + name + "  (symbolic link") != std::string::npos, refused)
                << label << ": " << name << "\n" << text;
            std::error_code error;
            EXPECT_EQ(fs::is_symlink(fs::symlink_status(t / "out" / name, error)), !refused) << label << ": " << name;
        }
        for (auto& entry : fs::recursive_directory_iterator(t / "out")) {
            std::error_code error;
            auto resolved = fs::weakly_canonical(entry.path(), error);
            if (!error) {
                EXPECT_EQ(resolved.string().rfind(root.string(), 0), 0u) << label << ": " << entry.path();
            }
        }
    }
}

// Damage of several kinds: a clear message, a non-zero code, and no file
// (nor half-written file) for the damaged entry.
TEST(Hostile, DamagedArchives)
{
    TempDir t;
    std::string data = RandomBytes(50000, 7);
    std::string text = TextBytes(80000, 8);
    {
        ZipBuilder b(t / "stored.zip");
        b.add("DATA.BIN", data, true);
        b.close();
        ZipBuilder c(t / "deflated.zip");
        c.add("TEXT.TXT", text);
        c.close();
    }
    std::string stored = tavrin::test::readFile(t / "stored.zip");
    std::string deflated = tavrin::test::readFile(t / "deflated.zip");
    struct Row {
        const char* what;
        std::string bytes;
        std::string message;
        const char* entry;
    };
    std::string badCrc = stored;
    badCrc[badCrc.find(data.substr(0, 64)) + 1000] ^= 0x40;
    std::string badData = deflated;
    for (size_t i = 200; i < 260; ++i)
        badData[i] ^= 0x5A;
    std::string lying = LyingArchive("BIG.TXT", std::string(5 << 20, 'A'), 1024);
    std::vector<Row> rows = {
        {"bad CRC", badCrc, "bad CRC", "DATA.BIN"},
        {"bad compressed data", badData, "TEXT.TXT", "TEXT.TXT"},
        {"truncated", stored.substr(0, stored.size() / 2), "truncated", "DATA.BIN"},
        {"truncated central directory", stored.substr(0, stored.size() - 30), "", "DATA.BIN"},
        {"not a zip", RandomBytes(4000, 9), "not a zip archive", "DATA.BIN"},
        {"empty file", "", "empty", "DATA.BIN"},
        {"more data than declared", lying, "BIG.TXT", "BIG.TXT"},
    };
    for (const Row& row : rows) {
        fs::remove_all(t / "out");
        WriteBytes(t / "bad.zip", row.bytes);
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        int32_t code = Unzip(u.p, (t / "bad.zip").string(), (t / "out").string());
        EXPECT_NE(code, 0) << row.what;
        EXPECT_FALSE(fs::exists(t / "out" / row.entry)) << row.what;
        EXPECT_TRUE(PartFiles(t / "out").empty()) << row.what;
        std::string message = LastMessage(u.p);
        EXPECT_FALSE(message.empty()) << row.what;
        EXPECT_NE(message.find(row.message), std::string::npos) << row.what << ": " << message;
    }
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    EXPECT_EQ(Unzip(u.p, (t / "missing.zip").string(), (t / "out").string()), PK_NOZIP);
    EXPECT_NE(LastMessage(u.p).find("cannot find or open"), std::string::npos);
}

TEST(Hostile, ArchiveDeclaringMoreThanTheDiskHoldsIsRefusedBeforeWriting)
{
    TempDir t;
    WriteBytes(t / "bomb.zip", LyingArchive("BOMB.BIN", std::string(1 << 20, '\0'), uint64_t(1) << 50));
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    EXPECT_EQ(Unzip(u.p, (t / "bomb.zip").string(), (t / "out").string()), PK_DISK);
    EXPECT_FALSE(fs::exists(t / "out/BOMB.BIN"));
    EXPECT_TRUE(PartFiles(t / "out").empty());
    EXPECT_NE(LastMessage(u.p).find("not enough disk space for " + (t / "bomb.zip").string()), std::string::npos)
        << LastMessage(u.p);
}

// A zip bomb with honest headers on a small file system: its entries add up
// to more than the room left, so nothing is written. Runs in a child process with
// a private 8 MiB tmpfs (needs the right to mount; skipped without it).
TEST(Hostile, ZipBombStopsBeforeTheFileSystemIsFull)
{
    TempDir t;
    {
        ZipBuilder b(t / "bomb.zip");
        for (int i = 0; i < 6; ++i)
            b.add("PART" + std::to_string(i) + ".BIN", std::string(3 << 20, '\0'));
        b.close();
    }
    fs::create_directories(t / "small");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        std::string report;
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", (t / "small").c_str(), "tmpfs", 0, "size=8m") != 0) {
            report = "skip";
        } else {
            Releaser<_UnzipFiles> u{RealComponent().unzip()};
            int32_t code = Unzip(u.p, (t / "bomb.zip").string(), (t / "small/out").string());
            struct statvfs fs;
            statvfs((t / "small").c_str(), &fs);
            int files = 0;
            for (auto& e : fs::directory_iterator(t / "small/out"))
                files += e.is_regular_file() ? 1 : 0;
            report = std::to_string(code) + " " + std::to_string(files) + " " +
                     std::to_string(uint64_t(fs.f_bavail) * fs.f_frsize) + " " +
                     std::to_string(PartFiles(t / "small/out").size()) + " " +
                     (LastMessage(u.p).find("not enough disk space") != std::string::npos ? "said" : "silent");
            umount((t / "small").c_str());
        }
        write(pipeFds[1], report.data(), report.size());
        _exit(0);
    }
    close(pipeFds[1]);
    char buffer[256] = {};
    ssize_t n = read(pipeFds[0], buffer, sizeof buffer - 1);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::string report(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    if (report == "skip")
        GTEST_SKIP() << "no right to mount a tmpfs here";
    int code = 0, files = 0, parts = -1;
    unsigned long long freeBytes = 0;
    char said[16] = {};
    ASSERT_EQ(sscanf(report.c_str(), "%d %d %llu %d %15s", &code, &files, &freeBytes, &parts, said), 5) << report;
    EXPECT_EQ(code, PK_DISK);
    EXPECT_EQ(files, 0); // 18 MiB declared in all: refused before anything is written
    EXPECT_GE(freeBytes, 1u << 20);
    EXPECT_EQ(parts, 0);
    EXPECT_STREQ(said, "said");
}

TEST(Hostile, DamagedEntryLeavesTheFileItWouldReplace)
{
    TempDir t;
    std::string data = RandomBytes(20000, 11);
    {
        ZipBuilder b(t / "stored.zip");
        b.add("DATA.BIN", data, true);
        b.close();
    }
    std::string bytes = tavrin::test::readFile(t / "stored.zip");
    bytes[bytes.find(data.substr(0, 64)) + 5000] ^= 0x01;
    WriteBytes(t / "bad.zip", bytes);
    t.write("out/DATA.BIN", "the user's own file");
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    EXPECT_EQ(Unzip(u.p, (t / "bad.zip").string(), (t / "out").string()), PK_ERR);
    EXPECT_EQ(tavrin::test::readFile(t / "out/DATA.BIN"), "the user's own file");
    EXPECT_TRUE(PartFiles(t / "out").empty());
}

// Killed while it writes a file that replaces another: the old file stays,
// and nothing else is left in the folder.
TEST(Hostile, KilledWhileReplacingLeavesTheOldFileAndNothingElse)
{
    TempDir t;
    ZipBuilder b(t / "big.zip");
    b.add("DISK.IMG", std::string(64u << 20, '\0'));
    b.close();
    t.write("out/DISK.IMG", "the user's own file");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        _exit(Unzip(u.p, (t / "big.zip").string(), (t / "out").string()));
    }
    const std::string fds = "/proc/" + std::to_string(child) + "/fd";
    auto writing = [&] { // a file the child writes in the folder has passed 1 MiB
        std::error_code error;
        for (auto& fd : fs::directory_iterator(fds, error)) {
            struct stat st {};
            if (fs::read_symlink(fd, error).string().rfind((t / "out/").string(), 0) == 0 &&
                ::stat(fd.path().c_str(), &st) == 0 && st.st_size > (1 << 20))
                return true;
        }
        return false;
    };
    for (int i = 0; i < 60000 && !writing(); ++i)
        usleep(1000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the extraction ended before it could be stopped";
    EXPECT_EQ(tavrin::test::readFile(t / "out/DISK.IMG"), "the user's own file");
    EXPECT_EQ(std::distance(fs::directory_iterator(t / "out"), fs::directory_iterator()), 1);
}

} // namespace
} // namespace varnock::test
