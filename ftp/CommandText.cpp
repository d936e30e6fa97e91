#include "ftp/CommandText.h"

std::string CommandLine(const std::string& verb, const std::string& argument)
{
    return verb + " " + argument + "\r\n";
}

std::string CommandLine(const std::string& verb)
{
    return verb + "\r\n";
}

bool IsSendableArgument(const std::string& argument)
{
    return argument.find_first_of("\r\n") == std::string::npos;
}
