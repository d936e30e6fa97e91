// Line ends of text files over SFTP, which has no TYPE A: the conversions
// FTP's text type makes on the server, done on this side.
#pragma once

#include <cstddef>
#include <string>

// Sending: each CR LF of the data becomes LF. A CR that ends one piece is
// held until the next shows what follows; heldCr carries it, and the caller
// adds a CR still held at the end.
std::string LfLineEnds(const char* data, size_t length, bool& heldCr);

// Receiving, as TYPE A would bring the file: each LF gets a CR before it
// unless one is there already. afterCr carries whether the last piece ended
// in CR; start it false.
std::string CrLfLineEnds(const char* data, size_t length, bool& afterCr);
