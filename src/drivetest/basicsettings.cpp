#include "drivetest/basicsettings.h"

#include <cstring>

#include "instrument/receiverinfo.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "records/fileio.h"

BasicSettingsBlock BasicSettings_ToBlock(const BasicSettings& settings) {
    BasicSettingsBlock block{};
    Text_Copy(block.standard, settings.standard);
    Text_Copy(block.levelUnit, settings.levelUnit);
    Text_Copy(block.distanceUnit, settings.distanceUnit);
    Text_Copy(block.outputDirectory, settings.outputDirectory);
    return block;
}

BasicSettings BasicSettings_FromBlock(const BasicSettingsBlock& block) {
    BasicSettings s;
    s.standard = std::string(Text_View(block.standard));
    s.levelUnit = std::string(Text_View(block.levelUnit));
    s.distanceUnit = std::string(Text_View(block.distanceUnit));
    s.outputDirectory = std::string(Text_View(block.outputDirectory));
    return s;
}

bool BasicSettings_Load(const std::string& path, BasicSettings& settings) {
    FileContainer ctx;
    if (!FileIO_OpenRead(path.c_str(), kBasicFileBufferBytes, ctx)) return false;
    bool ok = ctx.format == 1 && ctx.version <= kBasicFileMaxVersion;
    BasicSettingsBlock block{};
    if (ok) ok = FileIO_ReadBlock(ctx, &block, 0, kBasicBlockBytes);
    FileIO_CloseRead(ctx);
    if (ok) settings = BasicSettings_FromBlock(block);
    return ok;
}

bool BasicSettings_Save(const std::string& path, const BasicSettings& settings) {
    FileContainer ctx;
    if (!FileIO_OpenWriteAtomic(path.c_str(), kBasicFileBufferBytes, kBasicFileVersion, ctx)) return false;
    const BasicSettingsBlock block = BasicSettings_ToBlock(settings);
    if (!FileIO_WriteBlock(ctx, &block, 0, kBasicBlockBytes)) {
        FileIO_AbandonAtomic(ctx);
        return false;
    }
    return FileIO_CommitAtomic(ctx, path.c_str());
}

const std::vector<std::string>& BasicSettings_LevelUnits() {
    static const std::vector<std::string> units = {"dB\xB5V/m", "dBm", "dBmV", "dB\xB5V"};
    return units;
}

const std::vector<std::string>& BasicSettings_DistanceUnits() {
    static const std::vector<std::string> units = {"kilometers [km]", "miles [mi]"};
    return units;
}

BasicSettings BasicSettings_Defaults(const std::string& outputDirectory) {
    BasicSettings s;
    const auto& families = ReceiverInfo_Families();
    if (!families.empty() && !families.front().standards.empty()) s.standard = families.front().standards.front().name;
    s.levelUnit = "dB\xB5V";
    s.distanceUnit = "kilometers [km]";
    s.outputDirectory = outputDirectory;
    return s;
}

BasicSettings BasicSettings_Initial(const std::string& dataDirectory, const std::string& outputDirectory) {
    BasicSettings loaded;
    if (!BasicSettings_Load(Platform_JoinPath(dataDirectory, kBasicFileName), loaded))
        return BasicSettings_Defaults(outputDirectory);
    if (!FileIO_IsDirectory(loaded.outputDirectory.c_str())) loaded.outputDirectory = outputDirectory;
    return loaded;
}

bool BasicSettings_NeedsAntenna(const std::string& levelUnit) { return levelUnit == "dB\xB5V/m"; }
