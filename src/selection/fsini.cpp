#include "selection/fsini.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "records/fileio.h"

bool FileSelection_LoadDirectory(const std::string& dataDirectory, std::string& directory) {
    const std::string path = Platform_JoinPath(dataDirectory, kFsIniName);
    FileContainer ctx;
    if (!FileIO_OpenRead(path.c_str(), kFsIniBufferBytes, ctx)) return false;
    char block[kFsIniDirectoryBytes] = {};
    const bool ok = ctx.version <= kFsIniMaxVersion && FileIO_ReadBlock(ctx, block, kFsIniTag, sizeof block);
    FileIO_CloseRead(ctx);
    if (ok) directory = std::string(Text_View(block));
    return ok;
}

bool FileSelection_SaveDirectory(const std::string& dataDirectory, const std::string& directory) {
    const std::string path = Platform_JoinPath(dataDirectory, kFsIniName);
    char block[kFsIniDirectoryBytes];
    Text_Copy(block, directory);
    FileContainer ctx;
    if (!FileIO_OpenWriteAtomic(path.c_str(), kFsIniBufferBytes, kFsIniVersion, ctx)) {
        FileIO_AbandonAtomic(ctx);
        return false;
    }
    if (!FileIO_WriteBlock(ctx, block, kFsIniTag, sizeof block)) {
        FileIO_AbandonAtomic(ctx);
        return false;
    }
    return FileIO_CommitAtomic(ctx, path.c_str());
}
