// Reading values out of reply texts.
#pragma once

#include <string>

// The directory of a PWD reply ("257 "/home/u" is current"): the characters
// between its first double quote and the next. False when there is no such
// pair, or when the path holds a character below 32, which sent back in a
// CWD would end the command line early.
bool QuotedPath(const std::string& reply, std::string& path);
