// The main window's design as plain data: every control's name, kind, tab index,
// caption or default text and its place in twips. The window is built from this
// table and the tests check the window against it.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "engine/face.h"

namespace ravelin {

enum class ControlKind { TextBox, Label, Button, CheckBox };

// The font a control is drawn with.
enum class FontRole {
    WindowDefault,  // the window's own font
    Label,          // "ＭＳ ゴシック" 9 pt
    Dose,           // "ＭＳ Ｐゴシック" 12 pt bold, red text
    SmallButton,    // "ＭＳ Ｐゴシック" 8.25 pt
};

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    int tab;                // tab index; labels never take the focus
    std::string_view text;  // caption or default text, UTF-8
    int left, top, width, height;  // twips
    FontRole font;
    bool checked;           // check boxes: ticked at load
};

struct LineSpec {
    std::string_view name;
    int x1, y1, x2, y2;  // twips
};

inline constexpr std::string_view kForm1Caption = "Ravelin V1.4";
inline constexpr int kForm1WidthTwips = 6780;
inline constexpr int kForm1HeightTwips = 5160;
// The problem line under the designed area.
inline constexpr int kStatusLineHeight = 20;

// Every control of the main window, in tab order.
std::span<const ControlSpec> form1Controls();
const LineSpec& form1Line();
const ControlSpec* findControl(std::string_view name);

// The control that holds a box or a check box ("Text7", "Check4").
std::string_view controlName(Box box);
std::string_view controlName(Check check);

// 15 twips a pixel at 96 dots per inch, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips) {
    return twips >= 0 ? (2 * twips + 15) / 30 : -((-2 * twips + 15) / 30);
}

// Fonts as families to try in order: the stored Windows face first, then the
// Japanese gothic faces a Linux desktop has.
std::span<const char* const> gothicFamilies();
std::span<const char* const> proportionalGothicFamilies();

}  // namespace ravelin
