// What the upload worker asked the progress window to show and the window
// has not shown yet. The worker only records, so it never waits for a
// repaint; the window's thread takes the changes a few times a second and
// before anything that waits on the user. Thread-safe.
#pragma once

#include <mutex>
#include <string>

class CPendingDisplay {
public:
    struct Changes {
        bool hasStatus = false;
        std::string status;  // only the latest: earlier ones were never seen
        std::string log;     // every reply, in order, as received
        bool resetBar = false;
    };

    void SetStatus(const std::string& text);
    void AppendLog(const std::string& reply);
    void ResetBar();

    // Everything recorded since the last take.
    Changes Take();
    // A block was sent after the last reset: the reset is past.
    void DropBarReset();

private:
    std::mutex m_lock;
    Changes m_changes;
};
