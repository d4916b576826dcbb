#pragma once
// Whether the symbolic links an extraction is about to make stay inside
// the extraction folder, taken together with each other and with the
// links already there. A lexical look at one target is not enough: with
// "d -> ." made first, "e -> d/.." leads to the folder's parent.
//
// A target is walked as the system would walk it, following the links to
// be made and those on disk, with one rule that makes the answer hold
// whatever is made later: ".." is followed only from a real folder, never
// from a name that is missing or is a file (a later link could appear
// there). Every link is checked by the same rule, so a link that is walked
// through stays inside too.

#include <map>
#include <string>
#include <vector>

namespace varnock::engine {

class LinkCheck {
public:
    enum class Verdict { Inside, Outside, Unsure };

    // `root`: the extraction folder; `pending`: the links to be made, by
    // their path below the root ("a/b"), with their targets.
    LinkCheck(std::string root, const std::map<std::string, std::string>& pending);

    // The verdict on the pending link at `path`.
    Verdict check(const std::string& path);

private:
    struct Place {
        Verdict verdict = Verdict::Inside;
        std::vector<std::string> parts; // where the walk ended, below the root
        bool real = true;               // that place is a real folder (or below one)
    };

    Place walk(std::vector<std::string> from, const std::string& target);

    std::string root_;
    const std::map<std::string, std::string>& pending_;
    int hops_ = 0;
    int steps_ = 0;
};

} // namespace varnock::engine
