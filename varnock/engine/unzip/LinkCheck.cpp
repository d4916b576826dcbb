#include "LinkCheck.h"

#include <sys/stat.h>
#include <unistd.h>

namespace varnock::engine {
namespace {

// As many links as the system follows in one lookup.
constexpr int kMaxHops = 40;
// Names walked for one link, links followed included: far more than any
// real target holds, and a bound on the work a hostile archive can cause.
constexpr int kMaxSteps = 4096;

std::string Joined(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : "/") + part;
    return out;
}

std::vector<std::string> Split(const std::string& target)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= target.size()) {
        size_t end = target.find('/', start);
        if (end == std::string::npos)
            end = target.size();
        parts.push_back(target.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

LinkCheck::LinkCheck(std::string root, const std::map<std::string, std::string>& pending)
    : root_(std::move(root)), pending_(pending)
{
}

LinkCheck::Verdict LinkCheck::check(const std::string& path)
{
    auto found = pending_.find(path);
    if (found == pending_.end())
        return Verdict::Unsure;
    hops_ = steps_ = 0;
    std::vector<std::string> folder = Split(path);
    folder.pop_back();
    return walk(folder, found->second).verdict;
}

LinkCheck::Place LinkCheck::walk(std::vector<std::string> from, const std::string& target)
{
    Place place;
    place.parts = std::move(from);
    auto ended = [&](Verdict verdict) {
        place.verdict = verdict;
        return place;
    };
    if (target.empty() || target.front() == '/')
        return ended(Verdict::Outside);
    for (const std::string& part : Split(target)) {
        if (++steps_ > kMaxSteps)
            return ended(Verdict::Unsure);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!place.real)
                return ended(Verdict::Unsure);
            if (place.parts.empty())
                return ended(Verdict::Outside);
            place.parts.pop_back();
            continue;
        }
        place.parts.push_back(part);
        if (!place.real)
            continue; // below a missing name or a file: nothing is there to follow
        std::string relative = Joined(place.parts);
        std::string onDisk = root_ + "/" + relative;
        struct stat st;
        bool exists = ::lstat(onDisk.c_str(), &st) == 0;
        if (exists && S_ISDIR(st.st_mode))
            continue; // a real folder, which no link of this extraction replaces
        std::string linkTarget;
        auto pending = pending_.find(relative);
        if (pending != pending_.end()) {
            linkTarget = pending->second;
        } else if (exists && S_ISLNK(st.st_mode)) {
            std::string buffer(4097, '\0');
            ssize_t n = ::readlink(onDisk.c_str(), buffer.data(), buffer.size());
            if (n < 0 || static_cast<size_t>(n) >= buffer.size())
                return ended(Verdict::Unsure);
            linkTarget.assign(buffer.data(), static_cast<size_t>(n));
        } else {
            place.real = false; // missing, or a file
            continue;
        }
        if (++hops_ > kMaxHops)
            return ended(Verdict::Unsure);
        place.parts.pop_back();
        Place reached = walk(place.parts, linkTarget);
        if (reached.verdict != Verdict::Inside)
            return reached;
        place.parts = std::move(reached.parts);
        place.real = reached.real;
    }
    return place;
}

} // namespace varnock::engine
