// The download and copy rules that need no window: which names may become
// local files, how far the bar goes, and the command line that hands the
// downloaded files to another box's engine.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Server names are untrusted: a name with any fault of FileNameFaultOf (a
// path separator, a drive colon or another character Windows refuses, only
// dots and blanks such as "." or "..", a device name) would write outside
// the target folder, into the folder itself, or to a device; one that ends
// in a dot or a blank would land in another file ("a.txt." in "a.txt").
bool IsSafeLocalName(const std::string& name);
// What the user is told when a name is refused.
std::string UnsafeNameMessage(const std::string& name);

// What the user is told when a download did not complete: `reason`, the
// file, and that what arrived of it was removed (or could not be).
std::string CutDownloadMessage(const std::string& reason, const std::string& name, bool removed);

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

// One "Copy to...": the files it is to pass on, in the order of the rows,
// and which of them arrived whole. The download workers note arrivals; the
// boxes of the copy start with the files that arrived, once every download
// of the copy has ended.
class CCopyFiles {
public:
    CCopyFiles(std::string target, std::vector<std::string> names);
    const std::string& Target() const { return m_target; }
    void Arrived(const std::string& name);
    void DownloadsEnded();
    bool HaveDownloadsEnded() const;
    // The names that arrived (or, false, those that did not), in order.
    std::vector<std::string> Names(bool arrived) const;
    // True only the first time: the user hears once what did not arrive.
    bool TakeReport();

private:
    const std::string m_target;
    const std::vector<std::string> m_names;
    mutable std::mutex m_lock;
    std::vector<bool> m_arrived;
    bool m_ended = false;
    bool m_reported = false;
};

// What the user is told about the files a copy does not pass on.
std::string NotCopiedMessage(const std::vector<std::string>& missing);

// The boxes a copy has still to start, in order, each with its copy's files.
// Filled on the window thread, drained there and by the start-next-box
// worker.
class CBoxQueue {
public:
    void Append(const std::vector<std::string>& boxes, const std::shared_ptr<CCopyFiles>& files);
    // Removes and gives the first entry; false when the queue is empty or
    // the first copy is still downloading (its own worker starts it later).
    bool TakeFront(std::string& box, std::shared_ptr<CCopyFiles>& files);
    // Removes every box still queued for these files.
    void Drop(const std::shared_ptr<CCopyFiles>& files);

private:
    struct Entry {
        std::string box;
        std::shared_ptr<CCopyFiles> files;
    };
    std::mutex m_lock;
    std::deque<Entry> m_boxes;
};
