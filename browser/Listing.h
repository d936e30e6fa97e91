// The server's directory listing (the UNIX long-listing form that LIST gives)
// and the per-box cache of it. Platform-neutral: the window feeds the parser
// from "list.tmp" and stores the records in "<box>.lst".
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// One entry of the listing cache: four NUL-terminated text fields, 352 bytes,
// no header; a file is a plain sequence of these in the server's order.
struct ListingRecord {
    char name[256];
    char size[32];  // the size text as listed (also for directories)
    char date[32];  // the 13 date characters, e.g. "Jan 12 10:31 "
    char type[32];  // "<DIR>" or " "
};
static_assert(sizeof(ListingRecord) == 352, "the cache file's record is 352 bytes");

constexpr size_t ListingRecordSize = sizeof(ListingRecord);
constexpr size_t ListingDateLength = 13;
constexpr char DirectoryType[] = "<DIR>";
constexpr char FileType[] = " ";

// A record with every byte zero but the texts, each cut to fit its field.
ListingRecord MakeListingRecord(const std::string& name, const std::string& size, const std::string& date,
                                bool directory);

// The fields, read up to their terminator and never past their field (a
// cache file made elsewhere may lack the terminator).
std::string RecordName(const ListingRecord& record);
std::string RecordSize(const ListingRecord& record);
std::string RecordDate(const ListingRecord& record);
std::string RecordType(const ListingRecord& record);
bool IsDirectoryRecord(const ListingRecord& record);

// True for a name that may be shown and sent back to the server: not empty
// and without a character below 32, which could end a command line early.
bool IsUsableName(const std::string& name);

// The listing, one byte at a time: a byte 0..255, or -1 once it is used up
// (and on every later call).
class CListingSource {
public:
    virtual ~CListingSource() = default;
    virtual int Next() = 0;
};

typedef std::function<void(const ListingRecord&)> ListingSink;

// Hands each directory ("d...") and file ("-...") line of the listing to the
// sink, in order. Every line ends with CR LF (the listing comes in type A);
// other lines (the "total" summary, links, devices, other formats) give
// nothing. Fields are separated by runs of spaces: permissions, link count,
// owner, group, size, then exactly 13 date characters (the date and the
// blank after it), then the name up to the CR, blanks it begins or ends with
// included. Samples, as pyftpdlib and vsftpd send them:
//   drwxr-xr-x   2 owner    group        4096 Jan 12 10:31 public html
//   -rw-r--r--    1 0        0           10240 Dec  3  1998 old.zip
//   -rw-r--r--    1 0        0               4 Dec 08 00:13   lead.txt
// Input is untrusted: a line that ends before its name, or the end of the
// input inside a line, gives no entry; names of 256 characters or more and
// sizes of 32 or more are cut to fit the record; a name holding a character
// below 32 gives no entry.
void ParseListing(CListingSource& in, const ListingSink& sink);
