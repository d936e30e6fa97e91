#include <gtest/gtest.h>

#include "boxconfig/CachedProfile.h"
#include "support/MemoryProfile.h"

namespace {

// Counts the reads that reach the profile below.
class CCountingProfile : public CMemoryProfile {
public:
    std::string GetString(const std::string& section, const std::string& name, const std::string& def) override
    {
        ++reads;
        return CMemoryProfile::GetString(section, name, def);
    }
    int GetInt(const std::string& section, const std::string& name, int def) override
    {
        ++reads;
        return CMemoryProfile::GetInt(section, name, def);
    }
    int reads = 0;
};

TEST(CachedProfile, ReadsEachValueOnceAndSeesItsOwnWrites)
{
    CCountingProfile below;
    below.WriteString("Box", "Host Name", "ftp.example.com");
    below.WriteInt("Box", "Port", 2121);
    CCachedProfile cached(below);

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cached.GetString("Box", "Host Name", "Not Found"), "ftp.example.com");
        EXPECT_EQ(cached.GetInt("Box", "port", 21), 2121);  // names ignore case, as the registry's
    }
    EXPECT_EQ(below.reads, 2);

    // A missing value gives each reader its own default.
    EXPECT_EQ(cached.GetString("Box", "Directory", "Not Found"), "Not Found");
    EXPECT_EQ(cached.GetString("Box", "Directory", ""), "");

    // A change made meanwhile by someone else is not seen: one run, one set.
    below.WriteInt("Box", "Port", 21);
    EXPECT_EQ(cached.GetInt("Box", "Port", 21), 2121);

    // Its own writes are, under either kind.
    cached.WriteString("Box", "Certificate", "AB:CD");
    EXPECT_EQ(cached.GetString("Box", "Certificate", ""), "AB:CD");
    cached.WriteInt("Box", "Port", 990);
    EXPECT_EQ(cached.GetInt("Box", "Port", 21), 990);
    cached.DeleteSection("Box");
    EXPECT_EQ(cached.GetString("Box", "Host Name", "Not Found"), "Not Found");
    EXPECT_EQ(below.GetString("Box", "Host Name", "gone"), "gone");
}

}  // namespace
