#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

// Opening paths below a shared folder so that no symbolic link on the way leads out of it. The test
// is made by the open itself, so a link swapped in between a check and an open cannot slip through.
namespace sarvo {

enum class LinkPolicy {
    StayInside,  // a path whose resolution, through any link at any depth, leaves the root fails
    Follow,      // links are followed wherever they lead
};

struct Confinement {
    std::string root;  // the folder paths must stay in; "" confines nothing
    LinkPolicy links = LinkPolicy::Follow;

    bool Confines() const { return !root.empty() && links == LinkPolicy::StayInside; }
    // True when path lies below the root, so that the confinement applies to it. Some files that
    // belong to a folder are kept elsewhere by design (a thumbnail index in the per-user cache).
    bool Covers(std::string_view path) const;

    // The root folder as the first open below it found it. Later opens through this confinement, and
    // through its copies, start from that same folder: a request that looks at a file and then reads
    // it opens the root once, and both opens see the same folder.
    struct OpenedRoot;
    mutable std::shared_ptr<const OpenedRoot> openedRoot;
};

// Opens path, which is the root or lies below it, with open(2)'s flags and mode (O_CLOEXEC is added).
// Under a confinement that confines, a path that is not below the root, or whose resolution leaves it,
// fails with EXDEV; otherwise the path is opened as it is. Returns the descriptor or -1 with errno set.
int OpenConfined(const Confinement& confinement, const std::string& path, int flags, mode_t mode = 0);

// True when path can be reached under the confinement (it exists and resolves inside).
bool IsReachableInside(const Confinement& confinement, const std::string& path);

}  // namespace sarvo
