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
    char date[32];  // e.g. "Jan 12 10:31 ", as ParseListing keeps it
    char type[32];  // "<DIR>" or " "
};
static_assert(sizeof(ListingRecord) == 352, "the cache file's record is 352 bytes");

constexpr size_t ListingRecordSize = sizeof(ListingRecord);
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

// Hands each directory and file entry of the listing to the sink, in order,
// and gives the number of lines that could not be read. Lines end in LF,
// with or without a CR before it; the last one may lack its end. Accepted:
// the UNIX style (with or without the group column; month dates, kept as
// the 13 characters "Jan 12 10:31 ", or ISO dates, kept as
// "2026-12-07 10:31 ") and the MS-DOS style ("12-07-26  10:00PM " kept as it
// is; "<DIR>" or a size). Blanks a name begins or ends with are its own.
// The "total" summary, blank lines, links, devices, pipes and sockets give
// nothing and are not counted. Input is untrusted: names of 256 bytes or
// more and sizes of 32 or more are cut to fit the record; a name holding a
// character below 32 gives no entry and is counted.
size_t ParseListing(CListingSource& in, const ListingSink& sink);
