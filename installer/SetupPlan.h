// What the installer package does with the boxes beside the programs: which
// files belong to a box, when a removal must keep them, and what the user is
// told. Free of Windows headers, so it is checked on the build machine.
#pragma once

#include <string>
#include <vector>

// The folders a box's files lie in, each without a trailing backslash. A
// shell folder that could not be read is held as "Not Found", as the
// programs hold it.
struct SuiteFolders {
    std::string program;  // where the package put the programs
    std::string desktop;
    std::string sendTo;
};

// Windows Installer gives folders with a trailing backslash, the programs
// work without one.
std::string WithoutTrailingBackslash(std::string folder);

// The Desktop and Send To shortcuts of a box, named as the manager writes
// them; none in a shell folder that is not known.
std::vector<std::string> BoxShortcuts(const SuiteFolders& folders, const std::string& box);

// The remote browser's listing cache of a box; the manager runs in the
// program folder (its shortcuts say so), and keeps the caches there.
std::string ListingCachePath(const SuiteFolders& folders, const std::string& box);

// A file of the program folder that only the remote browser writes: a
// listing cache (any name ending in ".lst"), a cache being written
// ("*.lst.new") or a window's raw listing ("list.tmp", "list-*.tmp").
bool IsBrowserScratchName(const std::string& fileName);

// Whether removing this product is the older half of an upgrade, when the
// boxes must stay. Windows sets UPGRADINGPRODUCTCODE then; Wine does not,
// but by then the newer product is installed under the same upgrade code.
bool IsUpgradeRemoval(const std::string& upgradingProductCode, const std::string& ownProductCode,
                      const std::vector<std::string>& relatedProducts);

// A box whose engine copy could not be replaced or removed.
struct BoxFailure {
    std::string box;
    std::string engine;  // the engine copy's path
    std::string error;   // what the system said
};

// After an upgrade or repair: the boxes that still run the old engine.
std::string StaleEnginesMessage(const std::vector<BoxFailure>& failures);

// After an uninstall: the engine copies left behind.
std::string LeftEnginesMessage(const std::vector<BoxFailure>& failures);
