// The parser's fuzz target: any bytes in, every promise of the parser checked.
#pragma once

#include <string>

// Parses the bytes as a listing and checks what came out; empty when all
// is well, else what went wrong.
std::string CheckListingParse(const std::string& bytes);
