// What the installer package does with the boxes beside the programs: which
// of the remote browser's files it sweeps, when a removal must keep the
// boxes, and what the user is told. Free of Windows headers, so it is
// checked on the build machine.
#pragma once

#include <string>
#include <vector>

// Windows Installer gives folders with a trailing backslash, the programs
// work without one.
std::string WithoutTrailingBackslash(std::string folder);

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
