#pragma once
// Archive entry names as the unzip engine writes them: where a name may
// land, and whether a symbolic link stays inside the extraction folder.

#include <string>
#include <string_view>
#include <vector>

namespace varnock::engine {

struct EntryPath {
    enum class Verdict { File, Directory, Unsafe, Nothing };
    Verdict verdict = Verdict::Nothing;
    // The folders and the file name below the extraction folder; for a
    // directory entry, its folders.
    std::vector<std::string> parts;
    // Why an Unsafe name is refused ("an absolute path", ...).
    std::string reason;

    std::string joined() const;
};

// Classifies an entry name. Backslashes count as separators (archives made
// on Windows use them). Control characters (line feeds, tabs, escapes)
// are left out of the written names, as Debian's unzip leaves them out. A name that starts at the root, carries a drive
// letter or climbs with ".." is Unsafe, whether folder names are kept or
// junked. With `junkFolders` a file keeps only its last part and a
// directory entry gives Nothing; `spaceToUnderscore` changes blanks in the
// written parts.
EntryPath ClassifyEntryName(std::string_view name, bool junkFolders, bool spaceToUnderscore);

// A name as it is printed: each control character in caret notation
// ("^J" for a line feed, "^[" for an escape, "^?" for DEL), so that no
// name breaks a line of the report or sends a sequence to a terminal.
std::string Printable(std::string_view text);

// True when a symbolic link placed at `linkParts` (its folders and its own
// name, below the extraction folder) with the target text `target` points
// inside the extraction folder. Absolute targets, drive letters and targets
// that climb above the folder are outside.
bool LinkStaysInside(const std::vector<std::string>& linkParts, std::string_view target);

// Wildcard match of an entry name against a pattern of the include or
// exclude list: "*" and "?" and "[...]" as a shell would, "*" also across
// "/" (as unzip matches). `caseSensitive` false ignores ASCII letter case.
bool MatchPattern(std::string_view pattern, std::string_view name, bool caseSensitive);

} // namespace varnock::engine
