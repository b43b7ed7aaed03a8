#include <gtest/gtest.h>

#include "instrument/configcheck.h"
#include "drivetest/measurementselection.h"

TEST(ConfigCheck, IdentityReplies) {
    std::string model, serial, firmware;
    ASSERT_TRUE(DriveTest_ParseIdentity("Korvane,Alvra,1234.5678k22/101234,2.50", model, serial, firmware));
    EXPECT_EQ(model, "Alvra");
    EXPECT_EQ(serial, "101234");
    EXPECT_EQ(firmware, "2.50");
    EXPECT_FALSE(DriveTest_ParseIdentity("korvane,Alvra,1234.5678k22/101234,2.50", model, serial, firmware));
    ASSERT_TRUE(DriveTest_ParseIdentity("Korvane,Belko,100123/xyz,4.41", model, serial, firmware));
    EXPECT_EQ(serial, "100123") << "no letter k: cut at the first non-digit";
    EXPECT_FALSE(DriveTest_ParseIdentity("Korvane,Alvra,2.50", model, serial, firmware));
    ASSERT_TRUE(DriveTest_ParseIdentity("Korvane,Model,X,Alvra,123,3.45", model, serial, firmware));
    EXPECT_EQ(model, "Alvra") << "split from the right end";
}

TEST(ConfigCheck, FirmwareVersions) {
    char message[100] = {};
    EXPECT_EQ(DriveTest_CheckFirmware("V3.40", "3.40", message, sizeof message), 1);
    EXPECT_EQ(DriveTest_CheckFirmware("3.39", "3.40", message, sizeof message), 0);
    EXPECT_STREQ(message, "Firmware version too low (3.39<3.40)");
    EXPECT_EQ(DriveTest_CheckFirmware("10.1", "3.40"), 1);
    EXPECT_EQ(DriveTest_CheckFirmware("none", "0.5"), 0);
}

TEST(ConfigCheck, Options) {
    EXPECT_EQ(DriveTest_HasOption("HW02,FW07,FW04", "FW07"), 1);
    EXPECT_EQ(DriveTest_HasOption("HW02,HW06", "HW05/HW06"), 1);
    EXPECT_EQ(DriveTest_HasOption("HW02", "HW05/HW06"), 0);
    EXPECT_EQ(DriveTest_HasOption("FW00,HW02", "FW13"), 1) << "FW00 stands for every firmware option";
    EXPECT_EQ(DriveTest_HasOption("FW00", "HW02"), 0) << "but for no hardware option";
    std::vector<RequiredOption> needs(2);
    std::snprintf(needs[0].description, sizeof needs[0].description, "RF Preselector");
    std::snprintf(needs[0].optionCode, sizeof needs[0].optionCode, "HW02");
    std::snprintf(needs[1].description, sizeof needs[1].description, "DVB-T/H Firmware");
    std::snprintf(needs[1].optionCode, sizeof needs[1].optionCode, "FW07");
    char message[100] = {};
    EXPECT_EQ(DriveTest_CheckOptions("FW07,FW04", needs, message, sizeof message), 0);
    EXPECT_STREQ(message, "'RF Preselector' missing");
    EXPECT_EQ(DriveTest_CheckOptions("HW02,FW07", needs), 1);
    EXPECT_EQ(DriveTest_CheckOptions("", {}), 1);
}

TEST(MeasurementSelection, DefaultsFollowTheTreePaths) {
    ReceiverInfo_Init();
    const auto& alvra = ReceiverInfo_Families().front();
    const BroadcastStandard* dvbt = ReceiverInfo_FindStandard(alvra, "DVB-T / DVB-H");
    ASSERT_NE(dvbt, nullptr);
    EXPECT_EQ(DriveTest_MeasurementPath("Values|MER", "RMS [dB]"), "MER-RMS [dB]");
    EXPECT_EQ(DriveTest_MeasurementPath("Values", "Level"), "Level");
    EXPECT_EQ(DriveTest_MeasurementPath("Parameters|TPS", "FFT Mode"), "Parameters-TPS-FFT Mode");
    auto tags = DriveTest_SelectDefaultMeasurements(*dvbt);
    // Every value (Level, Sync, MER through its group, BER, PER) and the echo pattern; no read-out.
    EXPECT_EQ(tags, (std::vector<std::string>{"V1", "V2", "V3", "V4", "V5", "V6", "V7", "V8", "G1"}));
}
