#include "campaign/filekey.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them:
// hashing a record file then costs less than reading it.
bool Campaign_FileKey(const std::string& path, CampaignFileKey& key, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> hash(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1) {
        error = "SHA-256 is not available.";
        return false;
    }
    std::vector<unsigned char> buffer(1 << 20);
    key.size = 0;
    while (true) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n > 0) EVP_DigestUpdate(hash.get(), buffer.data(), n);
        key.size += static_cast<std::int64_t>(n);
        if (n < buffer.size()) break;
    }
    if (std::ferror(file.get())) {
        error = path + ": could not be read";
        return false;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(hash.get(), digest, &length);
    static const char* const kHex = "0123456789abcdef";
    key.sha256.clear();
    for (unsigned int i = 0; i < length; ++i) {
        key.sha256 += kHex[digest[i] >> 4];
        key.sha256 += kHex[digest[i] & 15];
    }
    return true;
}
