// The browser's command workers: one thread per server command, each waiting
// its turn at the session's gate, so that the commands of the window run one
// after another in the order they were queued.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/BrowserSession.h"
#include "browser/Command.h"

// Starts the command's worker, its place at the gate taken now. False when
// the window is closing or no thread could be started.
bool QueueCommand(const std::shared_ptr<CBrowserSession>& session, const Command& command);

// The window's raw listing, listed from `path`, into the cache, the rows and
// the combo box; `path` becomes the box's "Current Directory". False when
// the cache could not be written (the old one is kept).
bool ShowListing(CBrowserSession& s, const std::string& path);
