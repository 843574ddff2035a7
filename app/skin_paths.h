// Full paths of the skin images in programDir + "Skin/". A missing image is not an error:
// the window that wants it goes without.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pontiq {

struct SkinPaths {
    std::string skinDir;  // programDir + "Skin/"

    std::string applicationIcon;  // window and tray icon
    std::string mainBk;
    std::string mainLeftBk;
    std::string btMenuSearchNormal;
    std::string btMenuSearchDown;
    std::string btMenuWirelessNormal;  // the other seven navigation buttons
    std::string btMenuWirelessDown;
    std::string closeNormal;
    std::string minNormal;
    std::string helpNormal;
    std::string helpProductNormal;
    std::string helpSupportNormal;
    std::string helpContactNormal;
    std::string helpHelpNormal;
    std::string btnSearch;
    std::string btnUpdateNormal;
    std::string btnUpdateDown;
    std::string btnPie;
    std::string btnPie2;
    std::string line;
    std::string grayLine;
    std::string orangeLine;
    std::string write;
    std::string waitSearch;  // animated GIF
    std::string closeConfig;
    std::string closeWait;
    std::string btnConfig;
    std::string configBtn;
    std::string wirelessBasic;
    std::string wirelessConfig;
    std::array<std::string, 6> signalStrength;  // bars 0..5 ("singal_strength<n>.bmp")
    std::string bridgeFinish;

    // Chosen by locale: the Chinese pictures when the low 16 bits of the locale are 2052.
    std::string web;     // status page
    std::string bridge;  // bridge page
    std::string help;    // install-help page
};

// Path of one file of the skin folder.
std::string SkinFilePath(std::string_view programDir, std::string_view fileName);

// Every path for the given locale number (the one the language loader settled on).
SkinPaths BuildSkinPaths(std::string_view programDir, uint32_t localeNumber);

}  // namespace pontiq
