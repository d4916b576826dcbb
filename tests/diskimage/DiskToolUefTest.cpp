// tavrin-disk cat and extract on tape images, run as the child process they are.

#include "DiskToolRun.h"
#include "ImageFiles.h"
#include "TapeBytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

// A compilation tape: a loader, a locked game over three blocks, a name
// with a blank, and a file whose block 01 is missing.
Bytes compilationTape()
{
    std::vector<Bytes> chunks{carrier()};
    auto add = [&](const std::vector<Bytes>& blocks) {
        for (const Bytes& b : blocks)
            chunks.insert(chunks.end(), {uefChunk(0x0100, b), carrier()});
    };
    add(fileBlocks("LOADER", 0xFFFF0E00, 0xFFFF0E23, Bytes(40, 0x0D)));
    add(fileBlocks("ELITE", 0x1900, 0x8023, Bytes(700, 0xEA), true));
    add(fileBlocks("MY GAME", 0x3000, 0x3000, Bytes(3, 'x')));
    std::vector<Bytes> broken = fileBlocks("BROKEN", 0x1100, 0x1100, Bytes(600, 'b'));
    broken.erase(broken.begin() + 1);
    add(broken);
    return uefFile(chunks);
}

TEST(DiskToolUef, CatAndExtractATape)
{
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    writeFile(root / "Games.UEF", gzipped(compilationTape()));
    const QString tape = QString::fromStdString((root / "Games.UEF").string());

    ToolRun run = runTool({"cat", tape});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Tape: 4 files\n"
                       " 1 LOADER     FFFF0E00 FFFF0E23 000028   1\n"
                       " 2 ELITE      00001900 00008023 0002BC   3 L\n"
                       " 3 MY GAME    00003000 00003000 000003   1\n"
                       " 4 BROKEN     00001100 00001100 000158   2    ! block 01 missing\n");

    run = runTool({"cat", "--json", "--info", tape});
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(json["compressed"].toBool(), true);
    EXPECT_EQ(json["chunks"].toObject()["0110"].toInt(), 8);
    EXPECT_EQ(json["files"].toArray()[3].toObject()["faults"].toArray()[0].toObject(),
              (QJsonObject{{"fault", "missing"}, {"first", 1}, {"last", 1}}));

    run = runTool({"extract", tape, QString::fromStdString((root / "out").string())});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "$.LOADER FFFF0E00 FFFF0E23 000028 -> LOADER\n"
                       "$.ELITE 00001900 00008023 0002BC Locked -> ELITE\n"
                       "\"$.MY GAME\" 00003000 00003000 000003 -> MY GAME\n");
    EXPECT_EQ(run.err, "tavrin-disk: extract: $.BROKEN 00001100 00001100 000158 left out: block "
                       "01 missing\n");
    EXPECT_EQ(readFile(root / "out/ELITE"), Bytes(700, 0xEA));
    const std::string inf = "$.ELITE 00001900 00008023 0002BC Locked\n";
    EXPECT_EQ(readFile(root / "out/ELITE.inf"), Bytes(inf.begin(), inf.end()));
    EXPECT_FALSE(fs::exists(root / "out/BROKEN"));
}

} // namespace
