// The download and copy rules that need no window: which names may become
// local files, how far the bar goes, and the command line that hands the
// downloaded files to another box's engine.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// Server names are untrusted: a name with any fault of FileNameFaultOf (a
// path separator, a drive colon or another character Windows refuses, only
// dots and blanks such as "." or "..", a device name) would write outside
// the target folder, into the folder itself, or to a device.
bool IsSafeLocalName(const std::string& name);
// What the user is told when a name is refused.
std::string UnsafeNameMessage(const std::string& name);

// The expected size from the list's size column: its first 15 characters as
// a decimal number after optional blanks and sign; 0 without a digit (and
// for a negative number).
uint64_t ExpectedSize(const std::string& sizeColumn);

// The bar's position (0-100) after `received` of `expected` bytes, exact for
// files beyond 4 GB. An unknown or zero size leaves the bar at 0; more bytes
// than expected (the listing was stale) stop it at 100.
int ProgressPosition(uint64_t received, uint64_t expected);

// The local file of a download: "<target>\<name>".
std::string LocalDownloadPath(const std::string& target, const std::string& name);

// The command that starts one box's engine with downloaded files:
// "<programFolder>boxes\<box>.exe" in quotes (the suite often lives below a
// folder with blanks, and unquoted the platform would try C:\Program.exe
// first), one blank, then " <target>\<name>" for every name, so two blanks
// stand before the first path. The engine finds the paths by their drive
// colons, so they stay unquoted.
std::string CopyEngineCommand(const std::string& programFolder, const std::string& box, const std::string& target,
                              const std::vector<std::string>& names);

// The boxes a copy has still to start, in order. Filled on the window thread,
// drained there and by the start-next-box worker.
class CBoxQueue {
public:
    void Append(const std::vector<std::string>& boxes);
    // Removes and gives the first name; false when the queue is empty.
    bool TakeFront(std::string& box);

private:
    std::mutex m_lock;
    std::deque<std::string> m_boxes;
};
