#include "ui/form1_layout.h"

#include <array>
#include <string>

#include "engine/setting_table.h"

namespace ravelin {
namespace {

using K = ControlKind;
using F = FontRole;

constexpr auto kControls = std::to_array<ControlSpec>({
    {"Text1", K::TextBox, 0, "0", 1800, 240, 1695, 375, F::WindowDefault, false},
    {"cmdRec", K::Button, 1, "開始", 3960, 2280, 1215, 615, F::WindowDefault, false},
    {"cmdStop", K::Button, 2, "停止", 5280, 2280, 1095, 615, F::WindowDefault, false},
    {"Text2", K::TextBox, 3, "0", 1800, 720, 1695, 375, F::WindowDefault, false},
    {"Label1", K::Label, 4, "経過時間(Sec)", 120, 360, 1575, 255, F::Label, false},
    {"Label2", K::Label, 5, "総カウント数", 120, 840, 1575, 255, F::Label, false},
    {"Text3", K::TextBox, 6, settingRow(Setting::Threshold).defaultText, 5640, 1080, 735, 270, F::WindowDefault, false},
    {"Label3", K::Label, 7, "しきい値　80～20", 3960, 1080, 1695, 255, F::Label, false},
    {"Text4", K::TextBox, 8, settingRow(Setting::DeadBand).defaultText, 5640, 1440, 735, 270, F::WindowDefault, false},
    {"Label4", K::Label, 9, "不感帯 0～10", 3960, 1440, 1575, 255, F::Label, false},
    {"Text5", K::TextBox, 10, settingRow(Setting::Skip).defaultText, 5640, 1800, 735, 270, F::WindowDefault, false},
    {"Label5", K::Label, 11, "分解能　15～5", 3960, 1800, 1575, 255, F::Label, false},
    {"Text6", K::TextBox, 12, "0", 1800, 1200, 1695, 375, F::WindowDefault, false},
    {"Label6", K::Label, 13, "CPM", 120, 1320, 1575, 255, F::Label, false},
    {"Text7", K::TextBox, 14, settingRow(Setting::Sensitivity).defaultText, 5760, 360, 735, 270, F::WindowDefault, false},
    {"Label7", K::Label, 15, "GM菅γ線感度", 3960, 240, 1575, 255, F::Label, false},
    {"Label8", K::Label, 16, "cps/mR/hr", 3960, 480, 1575, 255, F::WindowDefault, false},
    {"Text8", K::TextBox, 17, "0", 1800, 1800, 1695, 375, F::Dose, false},
    {"Label9", K::Label, 18, "シーベルト(μSV/h)", 120, 1920, 1695, 375, F::Label, false},
    {"Check1", K::CheckBox, 19, "テスト", 1920, 2520, 1335, 375, F::WindowDefault, false},
    {"Check2", K::CheckBox, 20, "第一段警報上限値", 240, 3240, 1935, 375, F::WindowDefault, false},
    {"Check3", K::CheckBox, 21, "第二段警報上限値", 240, 3600, 2055, 375, F::WindowDefault, false},
    {"Text9", K::TextBox, 22, settingRow(Setting::Alarm1Limit).defaultText, 2280, 3360, 1215, 270, F::WindowDefault, false},
    {"Text10", K::TextBox, 23, settingRow(Setting::Alarm2Limit).defaultText, 2280, 3720, 1215, 270, F::WindowDefault, false},
    {"Label10", K::Label, 24, "μSV/h", 3600, 3360, 735, 255, F::Label, false},
    {"Label11", K::Label, 25, "μSV/h", 3600, 3720, 735, 255, F::Label, false},
    {"Check4", K::CheckBox, 26, "データ収集(CSV)", 240, 4080, 2415, 375, F::WindowDefault, switchRow(Switch::Log).onAtLoad},
    {"Command1", K::Button, 27, "保存先", 2520, 4200, 735, 375, F::SmallButton, false},
    {"Text11", K::TextBox, 28, "μSVHData_nnnntthh.csv", 3360, 4200, 3375, 270, F::WindowDefault, false},
    {"Command2", K::Button, 29, "停止", 4320, 3360, 735, 255, F::WindowDefault, false},
    {"Command3", K::Button, 30, "停止", 4320, 3720, 735, 255, F::WindowDefault, false},
    {"Command4", K::Button, 31, "Excel", 5280, 3360, 1095, 615, F::WindowDefault, false},
    {"Check5", K::CheckBox, 32, "リアルタイムグラフ表示", 240, 4680, 2415, 375, F::WindowDefault, false},
});

constexpr LineSpec kLine1{"Line1", 120, 3120, 6600, 3120};

constexpr std::array<const char*, 8> kGothic{"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "IPAexGothic",
                                             "Noto Sans Mono CJK JP", "VL Gothic", "TakaoGothic", "monospace"};
constexpr std::array<const char*, 8> kPGothic{"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAexGothic",
                                              "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic", "sans-serif"};

}  // namespace

std::span<const ControlSpec> form1Controls() { return kControls; }
const LineSpec& form1Line() { return kLine1; }

const ControlSpec* findControl(std::string_view name) {
    for (const auto& c : kControls)
        if (c.name == name) return &c;
    return nullptr;
}

namespace {
// "Text1", "Text2", ...: the boxes' names in the order of their enumeration.
template <typename Numbered>
std::string_view numberedName(const char* stem, Numbered which) {
    static const auto names = [stem] {
        std::array<std::string, static_cast<std::size_t>(Numbered::Count)> n;
        for (std::size_t i = 0; i < n.size(); ++i) n[i] = stem + std::to_string(i + 1);
        return n;
    }();
    return names[static_cast<std::size_t>(which)];
}
}  // namespace

std::string_view controlName(Box box) { return numberedName("Text", box); }
std::string_view controlName(Check check) { return numberedName("Check", check); }

std::span<const char* const> gothicFamilies() { return kGothic; }
std::span<const char* const> proportionalGothicFamilies() { return kPGothic; }

}  // namespace ravelin
