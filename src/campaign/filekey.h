#pragma once
// A record file's identity in a campaign: the SHA-256 of its whole content,
// so that the same drive imported again, from another folder or under
// another name, is known, and two files that merely share a name or a size
// are not taken for one.
#include <cstdint>
#include <string>

struct CampaignFileKey {
    std::string sha256;  // 64 lower-case hex digits
    std::int64_t size = 0;
};

// False with a one-line error when the file cannot be read.
bool Campaign_FileKey(const std::string& path, CampaignFileKey& key, std::string& error);
