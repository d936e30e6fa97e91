// Also builds as a libFuzzer target (see fuzz_listing.sh): the same checks
// run on every input the fuzzer makes, under the sanitizers.
#include "ListingFuzzTarget.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ListingCodec.h"

namespace {

// Counts the parser's reads, so a parser that keeps reading past the end
// (a hang in the window's worker) shows.
class CCountingSource : public CListingSource {
public:
    explicit CCountingSource(const std::string& text) : m_text(text) {}
    int Next() override
    {
        ++calls;
        return m_pos < m_text.size() ? static_cast<unsigned char>(m_text[m_pos++]) : -1;
    }
    size_t calls = 0;

private:
    const std::string& m_text;
    size_t m_pos = 0;
};

template <size_t N>
size_t FieldLength(const char (&field)[N])
{
    const void* end = std::memchr(field, 0, N);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - field) : N;
}

}  // namespace

std::string CheckListingParse(const std::string& bytes)
{
    CCountingSource in(bytes);
    std::vector<ListingRecord> records;
    ParseListing(in, [&](const ListingRecord& r) { records.push_back(r); });
    if (in.calls > bytes.size() + 1)
        return "read past the end: " + std::to_string(in.calls) + " reads of " + std::to_string(bytes.size());

    size_t lineEnds = 0;
    for (char c : bytes)
        lineEnds += c == '\n';
    if (records.size() > lineEnds + 1)
        return "more rows than lines";

    for (const ListingRecord& r : records) {
        if (FieldLength(r.name) >= sizeof r.name || FieldLength(r.size) >= sizeof r.size ||
            FieldLength(r.date) >= sizeof r.date || FieldLength(r.type) >= sizeof r.type)
            return "a field without its terminator";
        if (!IsUsableName(RecordName(r)))
            return "unusable name in a row: " + RecordName(r);
        const std::string size = RecordSize(r);
        if (size.find(' ') != std::string::npos || size.find('\r') != std::string::npos)
            return "size holds a separator";
        const std::string type = RecordType(r);
        if (type != DirectoryType && type != FileType)
            return "bad type " + type;
    }

    std::string cache;
    for (const ListingRecord& r : records)
        cache += EncodeListingRecord(r);
    const std::vector<ListingRecord> back = DecodeListingCache(cache + cache.substr(0, cache.size() % 351));
    if (back.size() != records.size())
        return "cache lost or gained records";
    for (size_t i = 0; i < back.size(); ++i)
        if (std::memcmp(&back[i], &records[i], sizeof(ListingRecord)) != 0)
            return "cache record changed";
    return std::string();
}

#ifdef LISTING_FUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string problem = CheckListingParse(std::string(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
#endif
