// Reading values out of reply texts.
#pragma once

#include <string>

// The directory of a PWD reply ("257 "/home/u" is current"): the characters
// between its first double quote and the next. False when there is no such
// pair, or when the path holds a character below 32, which sent back in a
// CWD would end the command line early.
bool QuotedPath(const std::string& reply, std::string& path);

// The port of a PASV reply: "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)."
// Servers differ around the six numbers: pyftpdlib and vsftpd put them in
// parentheses, others write "227 =h1,...,p2" or no parentheses at all, and
// text may follow. The numbers are taken from the first digit after the
// code, or from just after a "(" before it; each must be 0 to 255, and the
// port not 0.
// The address in the reply is left aside: the data connection goes where
// the control connection goes, not where a server would send it.
bool PassivePort(const std::string& reply, unsigned short& port);

// The port of an EPSV reply: "229 Entering Extended Passive Mode (|||6446|)".
// The delimiter is the server's choice (any character from 33 to 126, the
// same four times); the port must be 1 to 65535.
bool ExtendedPassivePort(const std::string& reply, unsigned short& port);
