// The driver's line protocol: one command per line in, one reply per line out.
//
// A line is a list of tokens separated by blanks. A token may mix plain
// characters and "quoted" parts; both know the escapes \\ \" \r \n \t \xNN, so
// any byte can be carried. A token that starts with an unquoted '-' and a
// letter is an option, "-name" or "-name=value"; everything else is positional,
// the first positional token being the command's name.
//
// Replies are "OK" or "ERR" followed by tokens in the same form: numbers plain,
// window handles as @hex, texts always quoted and escaped, bytes outside
// printable ASCII as \xNN, so a reply is one ASCII line whatever the texts hold.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A command failure: kind is one word the caller can act on
// (usage, notfound, timeout, failed), text says what happened.
class CDriverError : public std::runtime_error {
public:
    CDriverError(const char* kind, const std::string& text) : std::runtime_error(text), Kind(kind) {}
    std::string Kind;
};

class CArgs {
public:
    explicit CArgs(const std::string& line);

    const std::string& Name() const { return Positional.empty() ? Empty : Positional[0]; }
    // Positional arguments after the command's name, counted from 0.
    size_t Count() const { return Positional.empty() ? 0 : Positional.size() - 1; }
    bool Has(size_t i) const { return i < Count(); }
    const std::string& Text(size_t i) const;
    int64_t Number(size_t i) const;
    // True when the argument began with a plain character: "@1f" quoted is a
    // title, @1f bare is a handle.
    bool Bare(size_t i) const { return Has(i) && BareFlags[i + 1]; }

    bool Flag(const char* name) const;
    bool Option(const char* name, std::string& value) const;
    int64_t OptionNumber(const char* name, int64_t fallback) const;
    // Throws usage when an option is not in the space-separated list allowed.
    void CheckOptions(const char* allowed) const;

    static int64_t ParseNumber(const std::string& text);

private:
    struct COpt {
        std::string Name, Value;
        bool HasValue;
    };
    std::vector<std::string> Positional;
    std::vector<bool> BareFlags;
    std::vector<COpt> Options;
    static const std::string Empty;
};

class CReply {
public:
    CReply& Add(int64_t number);
    CReply& AddText(const std::string& text);
    CReply& AddHandle(const void* handle);
    CReply& AddWord(const std::string& word);
    std::string Line() const { return "OK" + Body; }

private:
    std::string Body;
};

std::string QuoteText(const std::string& text);
std::string ErrorLine(const std::string& kind, const std::string& text);
