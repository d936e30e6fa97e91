#include "tools/driver/Protocol.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

const std::string CArgs::Empty;

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

CArgs::CArgs(const std::string& line)
{
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string token;
        const bool option = line[i] == '-' && i + 1 < n && std::isalpha(static_cast<unsigned char>(line[i + 1]));
        const bool bare = line[i] != '"' && line[i] != '\\';
        bool quoted = false;
        for (; i < n; ++i) {
            char c = line[i];
            if (!quoted && (c == ' ' || c == '\t'))
                break;
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (c != '\\') {
                token += c;
                continue;
            }
            if (++i >= n)
                throw CDriverError("usage", "line ends inside an escape");
            switch (line[i]) {
            case '\\':
                token += '\\';
                break;
            case '"':
                token += '"';
                break;
            case 'r':
                token += '\r';
                break;
            case 'n':
                token += '\n';
                break;
            case 't':
                token += '\t';
                break;
            case 'x': {
                int hi = i + 1 < n ? HexDigit(line[i + 1]) : -1;
                int lo = i + 2 < n ? HexDigit(line[i + 2]) : -1;
                if (hi < 0 || lo < 0)
                    throw CDriverError("usage", "bad \\x escape");
                token += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                throw CDriverError("usage", std::string("unknown escape \\") + line[i]);
            }
        }
        if (quoted)
            throw CDriverError("usage", "unterminated quote");
        if (option) {
            COpt opt;
            size_t eq = token.find('=');
            opt.Name = token.substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
            opt.HasValue = eq != std::string::npos;
            opt.Value = opt.HasValue ? token.substr(eq + 1) : std::string();
            Options.push_back(opt);
        } else {
            Positional.push_back(token);
            BareFlags.push_back(bare);
        }
    }
}

const std::string& CArgs::Text(size_t i) const
{
    if (!Has(i))
        throw CDriverError("usage", Name() + ": argument " + std::to_string(i + 1) + " missing");
    return Positional[i + 1];
}

int64_t CArgs::ParseNumber(const std::string& text)
{
    if (text.empty())
        throw CDriverError("usage", "empty number");
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    int64_t value;
    if (s[0] == '-')
        value = std::strtoll(s, &end, 0);
    else
        value = static_cast<int64_t>(std::strtoull(s, &end, 0));
    if (*end != '\0' || errno == ERANGE)
        throw CDriverError("usage", "not a number: " + text);
    return value;
}

int64_t CArgs::Number(size_t i) const
{
    return ParseNumber(Text(i));
}

bool CArgs::Flag(const char* name) const
{
    for (const COpt& o : Options)
        if (o.Name == name)
            return true;
    return false;
}

bool CArgs::Option(const char* name, std::string& value) const
{
    for (const COpt& o : Options)
        if (o.Name == name) {
            if (!o.HasValue)
                throw CDriverError("usage", std::string("-") + name + " needs =value");
            value = o.Value;
            return true;
        }
    return false;
}

int64_t CArgs::OptionNumber(const char* name, int64_t fallback) const
{
    std::string text;
    return Option(name, text) ? ParseNumber(text) : fallback;
}

void CArgs::CheckOptions(const char* allowed) const
{
    std::string list = std::string(" ") + allowed + " ";
    for (const COpt& o : Options)
        if (list.find(" " + o.Name + " ") == std::string::npos)
            throw CDriverError("usage", Name() + ": unknown option -" + o.Name);
}

std::string QuoteText(const std::string& text)
{
    std::string out = "\"";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

CReply& CReply::Add(int64_t number)
{
    Body += " " + std::to_string(number);
    return *this;
}

CReply& CReply::AddText(const std::string& text)
{
    Body += " " + QuoteText(text);
    return *this;
}

CReply& CReply::AddHandle(const void* handle)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, " @%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    Body += buf;
    return *this;
}

CReply& CReply::AddWord(const std::string& word)
{
    Body += " " + word;
    return *this;
}

std::string ErrorLine(const std::string& kind, const std::string& text)
{
    return "ERR " + kind + " " + QuoteText(text);
}
