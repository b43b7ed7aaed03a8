#include "campaign/filekey.h"

#include <QCryptographicHash>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

bool Campaign_FileKey(const std::string& path, CampaignFileKey& key, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(1 << 20);
    key.size = 0;
    while (true) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n > 0) hash.addData(QByteArrayView(buffer.data(), static_cast<qsizetype>(n)));
        key.size += static_cast<std::int64_t>(n);
        if (n < buffer.size()) break;
    }
    if (std::ferror(file.get())) {
        error = path + ": could not be read";
        return false;
    }
    key.sha256 = hash.result().toHex().toStdString();
    return true;
}
