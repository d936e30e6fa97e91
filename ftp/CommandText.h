// Command lines as the client sends them, and what an argument may hold.
#pragma once

#include <string>

// "VERB argument\r\n", or "VERB\r\n" without an argument.
std::string CommandLine(const std::string& verb, const std::string& argument);
std::string CommandLine(const std::string& verb);

// False for an argument holding a carriage return or a line feed: sent, it
// would end the line early and the rest would reach the server as a second
// command. Such a command is never sent; its step fails instead.
bool IsSendableArgument(const std::string& argument);
