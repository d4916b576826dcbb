#pragma once
// MMB files on disk: reading the index and the discs, and writing a new or
// changed file.
//
// Paths are taken as stored (backslashes and any letter case are fine).
// Failures come back as readable messages that name the file and the
// reason; nothing is shown here. Every write makes the whole new file beside
// the old one and renames it into place, so a failure leaves the old file
// whole.

#include "Mmb.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QSaveFile;

namespace tavrin
{

// The index of an MMB file.
struct MmbFileRead {
    MmbIndex index;
    std::string error; // empty when the file was read and is an MMB file
    bool ok() const { return error.empty(); }
};

// Reads the index blocks of every zone of the file and checks its shape
// (see ReadMmbIndex).
MmbFileRead ReadMmbFile(std::string_view path);

// The 204,800 bytes of a slot's disc.
struct MmbDiscRead {
    std::vector<uint8_t> disc;
    std::string error;
    bool ok() const { return error.empty(); }
};
MmbDiscRead ReadMmbDisc(std::string_view path, const MmbIndex& index, int slot);

// The discs an image file gives an MMB file: its one disc, or, with
// `bothSides`, the two sides of a double-sided ".dsd" image. A ".dsd" without
// `bothSides` is refused, and so is every disc that is not a single-sided
// DFS disc of 80 tracks or fewer (CheckMmbDisc).
struct MmbImageRead {
    std::vector<std::vector<uint8_t>> discs;
    std::string error;
    bool ok() const { return error.empty(); }
};
MmbImageRead ReadImageForMmb(std::string_view path, bool bothSides = false);

// A new or changed MMB file, made beside its place and renamed into place by
// commit(). Dropped without commit(), it leaves the file there as it was.
class MmbWriter
{
  public:
    // Starts the file for `path`. With `old` (the index of the MMB file now
    // at `path`), the old file's bytes are carried over, except the discs of
    // the slots in `fresh`, which start as zeros (emptied or written anew).
    MmbWriter(std::string_view path, const MmbIndex* old = nullptr,
              const std::vector<int>& fresh = {});
    ~MmbWriter();
    MmbWriter(const MmbWriter&) = delete;
    MmbWriter& operator=(const MmbWriter&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Writes a disc of at most 204,800 bytes into a slot; the rest of the
    // slot is zeros.
    bool writeDisc(int slot, std::span<const uint8_t> disc);

    // Writes the index blocks, gives the file the index's size and renames
    // it into place. False, with the old file left whole, on any failure.
    bool commit(const MmbIndex& index);

  private:
    bool fail(int error);
    bool copyOld(const MmbIndex& old, const std::vector<int>& fresh);

    std::string path_;
    std::unique_ptr<QSaveFile> file_;
    std::vector<bool> fresh_; // by slot; every slot of a new file
    std::string error_;
};

// Writes `bytes` as the whole file `path`, beside it and renamed into place.
// The message when it could not be written, else "".
std::string WriteWholeFile(std::string_view path, std::span<const uint8_t> bytes);

} // namespace tavrin
