#include "app/skin_paths.h"

#include "app/language.h"

namespace pontiq {

std::string SkinFilePath(std::string_view programDir, std::string_view fileName)
{
    std::string path(programDir);
    path.append("Skin/").append(fileName);
    return path;
}

SkinPaths BuildSkinPaths(std::string_view programDir, uint32_t localeNumber)
{
    const auto at = [programDir](std::string_view file) { return SkinFilePath(programDir, file); };
    const bool chinese = (localeNumber & 0xFFFFu) == kLocaleChineseSimplified;

    SkinPaths p;
    p.skinDir = std::string(programDir) + "Skin/";
    p.applicationIcon = at("Application.ico");
    p.mainBk = at("main_bk.jpg");
    p.mainLeftBk = at("main_left_bk.jpg");
    p.btMenuSearchNormal = at("bt_menu_search_normal.bmp");
    p.btMenuSearchDown = at("bt_menu_search_down.bmp");
    p.btMenuWirelessNormal = at("bt_menu_wireless_normal.bmp");
    p.btMenuWirelessDown = at("bt_menu_wireless_down.bmp");
    p.closeNormal = at("close_normal.bmp");
    p.minNormal = at("min_normal.bmp");
    p.helpNormal = at("help_normal.bmp");
    p.helpProductNormal = at("help_product_normal.bmp");
    p.helpSupportNormal = at("help_support_normal.bmp");
    p.helpContactNormal = at("help_contact_normal.bmp");
    p.helpHelpNormal = at("help_help_normal.bmp");
    p.btnSearch = at("btn_search.bmp");
    p.btnUpdateNormal = at("btn_update_normal.bmp");
    p.btnUpdateDown = at("btn_update_down.bmp");
    p.btnPie = at("btn_pie.bmp");
    p.btnPie2 = at("btn_pie2.bmp");
    p.line = at("line.bmp");
    p.grayLine = at("gray_line.bmp");
    p.orangeLine = at("orange_line.bmp");
    p.write = at("write.bmp");
    p.waitSearch = at("wait_search.gif");
    p.closeConfig = at("close_config.bmp");
    p.closeWait = at("close_wait.bmp");
    p.btnConfig = at("btn_config.bmp");
    p.configBtn = at("config_btn.bmp");
    p.wirelessBasic = at("wireless_basic.bmp");
    p.wirelessConfig = at("wireless_config.bmp");
    for (size_t i = 0; i < p.signalStrength.size(); ++i) {
        p.signalStrength[i] = at("singal_strength" + std::to_string(i) + ".bmp");
    }
    p.bridgeFinish = at("bridge_finish.jpg");
    p.web = at(chinese ? "web_chinese.bmp" : "web_other.bmp");
    p.bridge = at(chinese ? "bridge_chinese.bmp" : "bridge_other.bmp");
    p.help = at(chinese ? "help_chinese.jpg" : "help_other.jpg");
    return p;
}

}  // namespace pontiq
