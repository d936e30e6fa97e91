// Listings and cache files as strings, for the tests: the browser itself
// parses "list.tmp" and writes and reads "<box>.lst" record by record.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "browser/Listing.h"

class CStringListingSource : public CListingSource {
public:
    explicit CStringListingSource(std::string text) : m_text(std::move(text)) {}
    int Next() override { return m_pos < m_text.size() ? static_cast<unsigned char>(m_text[m_pos++]) : -1; }

private:
    std::string m_text;
    size_t m_pos = 0;
};

inline std::vector<ListingRecord> ParseListingText(const std::string& text, size_t* unreadable = nullptr)
{
    std::vector<ListingRecord> records;
    CStringListingSource in(text);
    const size_t n = ParseListing(in, [&](const ListingRecord& r) { records.push_back(r); });
    if (unreadable)
        *unreadable = n;
    return records;
}

// The cache file's bytes: records in order, as the browser writes them.
inline std::string EncodeListingRecord(const ListingRecord& record)
{
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

// As the browser reads the cache: whole records, up to the first incomplete
// one, so a file shorter than one record is empty.
inline std::vector<ListingRecord> DecodeListingCache(const std::string& bytes)
{
    std::vector<ListingRecord> records;
    for (size_t at = 0; at + ListingRecordSize <= bytes.size(); at += ListingRecordSize) {
        ListingRecord record;
        std::memcpy(&record, bytes.data() + at, sizeof record);
        records.push_back(record);
    }
    return records;
}
