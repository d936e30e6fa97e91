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

// Files of the current directory.
constexpr char ListingTempFile[] = "list.tmp";
