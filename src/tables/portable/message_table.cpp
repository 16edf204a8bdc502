#include "tables/portable/message_table.h"

#include <array>

namespace vl {

namespace {

// The texts are UTF-8 in this file; a compiler that read it in another code page would build
// other characters for every Chinese text.
static_assert(sizeof(L"檢") == 2 * sizeof(wchar_t) && L"檢"[0] == 0x6AA2 && L"…"[0] == 0x2026,
              "message_table.cpp must be read as UTF-8");

using MessageRow = std::array<SVLWMessage, kMessageCount>;

constexpr MessageRow kEnglish = {{
    {0, L"VLWKernel"},
    {1, L"vorlink! Kernel"},
    {2, L"VLTitlePilot"},
    {3, L"An error occurred on your computer, run a virus scan before proceeding."},
    {4, L"Cannot detect a game login, return to the login page."},
    {5, L"No game detected.  Please ensure a game has been installed, or install the game again."},
    {6, L"There was an error retrieving the password."},
    {7, L"No game detected.  Please ensure a game has been installed, or install the game again."},
    {8, L"System timed out, try again later."},
    {9, L"Server disconnected, try again later."},
    {10, L"System timed out, try again later. "},
    {11, L"System timed out, try again later. "},
    {12, L"System timed out, try again later. "},
    {13, L"Preparing..."},
    {14, L"Retrieving profile..."},
    {15, L"Checking client version..."},
    {16, L"Newest version installed, activating vorlink! application….."},
    {17, L"Newer version available (%d.%d.%d.%d) !"},
    {18, L"Updated patch size %d bytes, preparing download now….."},
    {19, L"Download completed! Shutting down the application and updating patch."},
    {20, L"※Attention:"},
    {21, L"Login authentication complete! You may now start the game."},
    {22, L"%d seconds until login authentication."},
    {23, L"Login authentication starting….."},
    {24, L"Exit vorlink!"},
    {25, L"Lock vorlink!"},
    {26, L"Are you sure you want to exit vorlink! ?"},
    {27, L"Are you sure you want to logout of vorlink! ?"},
    {28, L"vorlink! Programs"},
    {29, L"Open file and click submit to install or re-download program."},
    {30, L"Are you sure you want to delete the shortcut on your desktop?\n\n"},
    {31, L"Display"},
    {32, L"Shortcut found in : \n%s\n  Do you want to continue setup?"},
    {33, L"Logout"},
    {34, L"This game does not need to be installed."},
    {35, L"Error occurred loading game list, reload browser and try again."},
    {36, L"About vorlink!"},
    {37, L"Waiting to shut down application."},
    {38, L"Signature error detected.  Please contact customer service."},
    {39, L"You have closed web page of vorlink!, but vorlink! is still running. Click on the vorlink! Icon on right system bar to logout."},
    {40, L"The vorlink! will automatically log off after a specified period of idle time."},
    {41, L"Idle time setting"},
    {42, L"Apply"},
    {43, L"Cancel"},
    {44, L"20 Minutes"},
    {45, L"50 Minutes"},
    {46, L"120 Minutes"},
    {47, L"Forever"},
    {48, L"Settings"},
    {49, L"Open vorlink!"},
    {50, L"The game was started, if you need to start the game again,\nplease wait %d seconds."},
    {51, L"You can already start the game again."},
    {52, L"© 2010 Torvane CO.,LTD. All Rights Reserved."},
    {53, L"Version 2010 (Build %s)"},
    {54, L"* Title Pilot (Build %s)"},
}};

// Taiwan and Hong Kong share this row.
constexpr MessageRow kTraditionalChinese = {{
    {0, L"VLWKernel"},
    {1, L"vorlink! 主控台"},
    {2, L"VLTitlePilot"},
    {3, L"您的電腦發生錯誤，請先執行病毒掃描後再繼續。"},
    {4, L"偵測不到遊戲登入，請返回登入頁面。"},
    {5, L"未偵測到遊戲。請確認遊戲已安裝，或重新安裝遊戲。"},
    {6, L"取得密碼時發生錯誤。"},
    {7, L"未偵測到遊戲。請確認遊戲已安裝，或重新安裝遊戲。"},
    {8, L"連線逾時，請稍後再試。"},
    {9, L"連線逾時，請稍後再試。"},
    {10, L"連線逾時，請稍後再試。"},
    {11, L"連線逾時，請稍後再試。"},
    {12, L"連線逾時，請稍後再試。"},
    {13, L"準備中..."},
    {14, L"正在取得個人資料..."},
    {15, L"正在檢查用戶端版本..."},
    {16, L"已安裝最新版本，正在啟動 vorlink! 應用程式….."},
    {17, L"有新版本 (%d.%d.%d.%d) 可供更新！"},
    {18, L"更新檔大小 %d 位元組，正在準備下載….."},
    {19, L"下載完成！正在關閉應用程式並進行更新。"},
    {20, L"※注意:"},
    {21, L"登入驗證完成！您現在可以開始遊戲。"},
    {22, L"%d 秒後進行登入驗證。"},
    {23, L"開始進行登入驗證….."},
    {24, L"結束 vorlink!"},
    {25, L"鎖定 vorlink!"},
    {26, L"您確定要結束 vorlink! 嗎？"},
    {27, L"您確定要登出 vorlink! 嗎？"},
    {28, L"vorlink! 程式"},
    {29, L"開啟檔案並按下送出，以安裝或重新下載程式。"},
    {30, L"您確定要刪除桌面上的捷徑嗎？\n\n"},
    {31, L"顯示"},
    {32, L"已在下列位置找到捷徑：\n%s\n  是否要繼續安裝？"},
    {33, L"登出"},
    {34, L"此遊戲不需要安裝。"},
    {35, L"載入遊戲清單時發生錯誤，請重新載入瀏覽器後再試一次。"},
    {36, L"關於 vorlink!"},
    {37, L"正在等待關閉應用程式。"},
    {38, L"檢查到檔案數位簽章錯誤，請洽客服人員。"},
    {39, L"您的 vorlink! 網頁已關閉，但 vorlink! 尚未登出\n如要登出，請至右下方系統列進行登出。"},
    {40, L"vorlink! 將在閒置一段指定時間後自動登出。"},
    {41, L"閒置時間設定"},
    {42, L"套用"},
    {43, L"取消"},
    {44, L"20 分鐘"},
    {45, L"50 分鐘"},
    {46, L"120 分鐘"},
    {47, L"永久"},
    {48, L"設定"},
    {49, L"開啟 vorlink!"},
    {50, L"遊戲已啟動，若需要再次啟動遊戲，\n請等待 %d 秒。"},
    {51, L"您現在可以再次啟動遊戲。"},
    {52, L"(C) 2010 Torvane CO.,LTD. All Rights Reserved."},
    {53, L"版本 2010 (Build %s)"},
    {54, L"* Title Pilot (Build %s)"},
}};

constexpr MessageRow kSimplifiedChinese = {{
    {0, L"VLWKernel"},
    {1, L"vorlink! 控制台"},
    {2, L"VLTitlePilot"},
    {3, L"您的电脑发生错误，请先执行病毒扫描后再继续。"},
    {4, L"检测不到游戏登录，请返回登录页面。"},
    {5, L"未检测到游戏。请确认游戏已安装，或重新安装游戏。"},
    {6, L"获取密码时发生错误。"},
    {7, L"未检测到游戏。请确认游戏已安装，或重新安装游戏。"},
    {8, L"联机逾时，请稍后再试。"},
    {9, L"联机逾时，请稍后再试。"},
    {10, L"联机逾时，请稍后再试。"},
    {11, L"联机逾时，请稍后再试。"},
    {12, L"联机逾时，请稍后再试。"},
    {13, L"准备中..."},
    {14, L"正在获取个人资料..."},
    {15, L"正在检查客户端版本..."},
    {16, L"已安装最新版本，正在启动 vorlink! 应用程序….."},
    {17, L"有新版本 (%d.%d.%d.%d) 可供更新！"},
    {18, L"更新文件大小 %d 字节，正在准备下载….."},
    {19, L"下载完成！正在关闭应用程序并进行更新。"},
    {20, L"※注意:"},
    {21, L"登录验证完成！您现在可以开始游戏。"},
    {22, L"%d 秒后进行登录验证。"},
    {23, L"开始进行登录验证….."},
    {24, L"退出 vorlink!"},
    {25, L"锁定 vorlink!"},
    {26, L"您确定要退出 vorlink! 吗？"},
    {27, L"您确定要注销 vorlink! 吗？"},
    {28, L"vorlink! 程序"},
    {29, L"打开文件并点击提交，以安装或重新下载程序。"},
    {30, L"您确定要删除桌面上的快捷方式吗？\n\n"},
    {31, L"显示"},
    {32, L"已在下列位置找到快捷方式：\n%s\n  是否要继续安装？"},
    {33, L"注销"},
    {34, L"此游戏不需要安装。"},
    {35, L"加载游戏列表时发生错误，请重新加载浏览器后再试一次。"},
    {36, L"关于 vorlink!"},
    {37, L"正在等待关闭应用程序。"},
    {38, L"检查到档案数字签名错误，请洽客服人员。"},
    {39, L"您的 vorlink! 网页已关闭，但 vorlink! 尚未注销\n如要注销，请至右下方系统列进行注销。"},
    {40, L"vorlink! 将在闲置一段指定时间后自动注销。"},
    {41, L"闲置时间设置"},
    {42, L"应用"},
    {43, L"取消"},
    {44, L"20 分钟"},
    {45, L"50 分钟"},
    {46, L"120 分钟"},
    {47, L"永久"},
    {48, L"设置"},
    {49, L"打开 vorlink!"},
    {50, L"游戏已启动，若需要再次启动游戏，\n请等待 %d 秒。"},
    {51, L"您现在可以再次启动游戏。"},
    {52, L"(C) 2010 Torvane CO.,LTD. All Rights Reserved."},
    {53, L"版本 2010 (Build %s)"},
    {54, L"* Title Pilot (Build %s)"},
}};

// Rows in the order of kRegionCodes.
constexpr std::array<MessageRow, 4> kMessageTable = {kEnglish, kTraditionalChinese, kTraditionalChinese,
                                                     kSimplifiedChinese};
constexpr std::wstring_view kRegionCodes[] = {L"US", L"TW", L"HK", L"CN"};

consteval bool EveryCellHoldsItsOwnId()
{
    for (const auto& row : kMessageTable)
        for (int k = 0; k < kMessageCount; ++k)
            if (row[k].id != k) return false;
    return true;
}
static_assert(EveryCellHoldsItsOwnId());

} // namespace

std::wstring LookupMessageText(std::wstring_view regionValue, int id)
{
    for (std::size_t row = 0; row < std::size(kRegionCodes); ++row) {
        if (regionValue.find(kRegionCodes[row]) == std::wstring_view::npos) continue;
        for (const SVLWMessage& cell : kMessageTable[row])
            if (cell.id == id) return cell.text;
        return {};
    }
    return {};
}

} // namespace vl
