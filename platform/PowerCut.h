// A power cut, for tests that prove a change of the card is whole or undone
// after one at any point.
//
// The change runs in a child process whose power goes before its nth durable
// step: a file made, a write, a cut of a file's length, a sync of a file or
// of a folder, a rename, a deletion. The card is then left as a power cut
// could leave it, sector by sector (512 bytes), and every such state is told:
//   - a file's bytes past its length at its last sync (its growth) not
//     there, or there as written, as zeros, as stale card data, or the first
//     half of their sectors written and the rest zeros or stale;
//   - the sectors written inside that length since the sync each old or new
//     (all old, all new, the first or the last half new, every other one);
//   - each file made, renamed or deleted since its folder's last sync done or
//     not, in the order they were made;
// every combination of these, each state once. A cut past the change's last
// step tells what a power cut right after it could leave.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qplat {

// The regular files of one host folder, by name, with their bytes.
struct CardFolder {
    std::string hostPath;
    std::vector<std::pair<std::string, std::string>> files;  // sorted by name
    const std::string* Find(const std::string& name) const;
};

// The folders a change touched, as a cut may leave them.
struct CardShape {
    std::string what;  // how the cut left them, for a failure's message
    std::vector<CardFolder> folders;
    // The bytes of the file `name` in the folder `hostPath`, or nullptr.
    const std::string* Find(const std::string& hostPath, const std::string& name) const;
};

struct PowerCutRun {
    bool ran = false;      // the child ran and told what it left
    bool cut = false;      // the power went before the change returned
    int result = 0;        // what the change returned, where it did
    CardShape before;      // the folders it touched, as they were
    std::vector<CardShape> shapes;
};

// Runs `change` in a child process whose power goes before its nth durable
// step (1: the first). Where the change returns first, the cut strikes just
// after it. The card holds what the child wrote until the caller puts it in
// one of the shapes (LeaveCardAs); its folders must be synced when it starts.
PowerCutRun CutPowerAtStep(long long n, const std::function<int()>& change);

// Leaves each folder of `shape` holding exactly its files (regular files only;
// subfolders stay). False when a file could not be written or removed.
bool LeaveCardAs(const CardShape& shape);

// The folders of `like` as the card holds them now.
CardShape CardAsItIs(const CardShape& like);

}  // namespace qplat
