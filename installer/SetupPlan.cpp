#include "installer/SetupPlan.h"

#include <cstring>

#include "boxconfig/SuiteNames.h"

namespace {

std::string ListOf(const std::vector<BoxFailure>& failures)
{
    std::string text;
    for (const BoxFailure& f : failures)
        text += "\n\"" + f.box + "\": " + f.engine + " (" + f.error + ")";
    return text;
}

}  // namespace

std::string WithoutTrailingBackslash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

bool IsBrowserScratchName(const std::string& fileName)
{
    // "*.lst" also finds "a.lstx" through its short name "A~1.LST".
    const std::string name = AsciiLower(fileName);
    auto endsWith = [&](const char* end) {
        const size_t n = std::strlen(end);
        return name.size() > n && name.compare(name.size() - n, n, end) == 0;
    };
    return name == "list.tmp" || (name.compare(0, 5, "list-") == 0 && endsWith(".tmp")) || endsWith(".lst") ||
           endsWith(".lst.new");
}

bool IsUpgradeRemoval(const std::string& upgradingProductCode, const std::string& ownProductCode,
                      const std::vector<std::string>& relatedProducts)
{
    if (!upgradingProductCode.empty())
        return true;
    for (const std::string& product : relatedProducts)
        if (product != ownProductCode)
            return true;
    return false;
}

std::string StaleEnginesMessage(const std::vector<BoxFailure>& failures)
{
    const bool one = failures.size() == 1;
    return std::string(one ? "The box below was" : "The boxes below were") +
           " sending while FTP Sendora was updated, so " + (one ? "its engine" : "their engines") +
           " could not be replaced and still " + (one ? "is" : "are") + " the old one; the upload" + (one ? "" : "s") +
           " went on.\n" + ListOf(failures) +
           "\n\nOnce the sending has finished, repair FTP Sendora from the list of installed programs, or open "
           "the box (its Desktop icon, started without files) and press OK.";
}

std::string LeftEnginesMessage(const std::vector<BoxFailure>& failures)
{
    const bool one = failures.size() == 1;
    return std::string(one ? "The box below was" : "The boxes below were") +
           " sending while FTP Sendora was uninstalled, so " + (one ? "its engine" : "their engines") +
           " could not be removed.\n" + ListOf(failures) + "\n\nDelete " + (one ? "this file" : "these files") +
           " once the sending has finished.";
}
