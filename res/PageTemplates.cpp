// Templates of the About and Help dialogs and of the three settings pages.
// Controls are listed in template order, which is also their tab order.

#include "res/DialogTemplate.h"

namespace {

constexpr unsigned ValueLabel = Bordered | Sunken;

constexpr ControlTemplate kAboutControls[] = {
    {-1, ControlKind::Icon, "", 11, 17, 20, 20, NoFlags},
    {-1, ControlKind::Static, "Quindle Keyboard Configuration Utility", 40, 10, 113, 20, Centred},
    {-1, ControlKind::Static, "Version 2.2j", 53, 30, 42, 10, NoFlags},
    {-1, ControlKind::Static, "Supports Product ID 0x0703 - 0x707, 0x718 - 0x719", 52, 55, 174, 8,
     NoFlags},
    {1, ControlKind::DefaultPushButton, "OK", 190, 7, 50, 14, GroupStart | TabStop},
};

constexpr ControlTemplate kHelpControls[] = {
    {1, ControlKind::DefaultPushButton, "Close", 426, 290, 50, 14, TabStop},
    {1026, ControlKind::MultiLineEdit, "", 7, 7, 469, 278, Bordered | TabStop},
};

// One column a setting: caption, value label, slider.
constexpr ControlTemplate kThresholdControls[] = {
    {1059, ControlKind::Static, "Low", 17, 7, 14, 8, NoFlags},
    {1008, ControlKind::Static, "", 13, 20, 22, 13, ValueLabel | Centred},
    {1004, ControlKind::Slider, "", 7, 33, 31, 122, TabStop},
    {1060, ControlKind::Static, "High", 44, 7, 16, 8, NoFlags},
    {1026, ControlKind::Static, "", 42, 20, 22, 13, ValueLabel | Centred},
    {1005, ControlKind::Slider, "", 38, 33, 31, 122, TabStop},
    {1061, ControlKind::Static, "Interval", 73, 7, 24, 8, NoFlags},
    {1011, ControlKind::Static, "", 74, 20, 28, 13, ValueLabel},
    {1006, ControlKind::Slider, "", 74, 33, 27, 122, TabStop},
    {1073, ControlKind::Static, "Key Limit", 109, 7, 29, 8, NoFlags},
    {1039, ControlKind::Static, "", 109, 20, 28, 13, ValueLabel | Centred},
    {1010, ControlKind::Slider, "", 107, 33, 31, 122, TabStop},
    {1062, ControlKind::Static, "Clean", 147, 7, 19, 8, NoFlags},
    {1033, ControlKind::Static, "", 141, 20, 32, 13, ValueLabel},
    {1032, ControlKind::Slider, "", 143, 33, 27, 122, TabStop},
};

constexpr ControlTemplate kTimersControls[] = {
    {1063, ControlKind::Static, "Alarm Timer", 7, 6, 50, 8, NoFlags},
    {1017, ControlKind::Static, "", 7, 17, 28, 13, ValueLabel},
    {1016, ControlKind::Slider, "", 7, 37, 27, 122, TabStop},
    {1064, ControlKind::Static, "Preset Times", 39, 23, 42, 8, NoFlags},
    {1012, ControlKind::PushButton, "24 Hrs", 40, 37, 34, 14, TabStop},
    {1018, ControlKind::PushButton, "8 Hrs", 40, 52, 34, 14, TabStop},
    {1019, ControlKind::PushButton, "4 Hrs", 40, 67, 34, 14, TabStop},
    {1021, ControlKind::PushButton, "3 Hrs", 40, 83, 34, 14, TabStop},
    {1020, ControlKind::PushButton, "1 Min", 77, 83, 35, 14, TabStop | Hidden},
    {1065, ControlKind::GroupBox, " Enables", 39, 102, 96, 57, NoFlags},
    {1035, ControlKind::CheckBox, "Timer", 44, 114, 36, 10, TabStop},
    {1036, ControlKind::CheckBox, "Keystroke", 44, 127, 51, 10, TabStop},
    {1022, ControlKind::CheckBox, "Clean On Power Up", 44, 140, 76, 10, TabStop},
};

constexpr ControlTemplate kManufacturingControls[] = {
    {1077, ControlKind::Edit, "", 33, 19, 38, 14, Bordered | TabStop},
    {1081, ControlKind::PushButton, "Set ID Number", 14, 38, 76, 14, TabStop},
    {-1, ControlKind::GroupBox, " ID Number ", 7, 7, 93, 55, NoFlags},
    {-1, ControlKind::GroupBox, " Host Mode ", 104, 7, 65, 55, NoFlags},
    {1085, ControlKind::CheckBox, "Enable", 113, 19, 37, 10, TabStop},
    {1086, ControlKind::CheckBox, "LED On", 113, 33, 47, 10, TabStop},
    {1087, ControlKind::CheckBox, "Beeper On", 113, 48, 50, 10, TabStop},
    {1027, ControlKind::CheckBox, "Enable Message Log", 7, 127, 84, 10, TabStop},
    {-1, ControlKind::GroupBox, "Disable Sensors", 7, 71, 162, 41, NoFlags},
    {1051, ControlKind::CheckBox, "Left", 15, 82, 46, 10, TabStop},
    {1052, ControlKind::CheckBox, "Right", 15, 95, 42, 10, TabStop},
    {1053, ControlKind::CheckBox, "Pressure", 87, 81, 47, 10, TabStop},
    {1054, ControlKind::CheckBox, "Sensor4", 87, 96, 48, 10, TabStop},
    {1098, ControlKind::CheckBox, "DisableBacklight", 7, 116, 67, 10, TabStop},
    {1099, ControlKind::CheckBox, "Disable Config", 94, 116, 60, 10, TabStop},
    {1100, ControlKind::CheckBox, "Disable AutoSense", 95, 127, 74, 10, TabStop},
    {1104, ControlKind::RadioButton, "USB Keyboard", 108, 159, 61, 10, GroupStart | NoTabStop},
    {1105, ControlKind::RadioButton, "PS2 Keyboard", 105, 149, 60, 10, NoTabStop},
    {1106, ControlKind::CheckBox, "Off/On Re-enumerate", 7, 141, 85, 10, GroupStart | TabStop},
};

constexpr DialogTemplate kAbout{100, "About Quindle Keyboard Configuration Utility", 247, 78,
                                kAboutControls};
constexpr DialogTemplate kHelp{145, "Help for Quindle Keyboard Configuration Utility", 483, 311,
                               kHelpControls};
constexpr DialogTemplate kThreshold{148, "Threshold", 180, 162, kThresholdControls};
constexpr DialogTemplate kTimers{149, "Timers", 142, 166, kTimersControls};
constexpr DialogTemplate kManufacturing{150, "Manufacturing", 176, 166, kManufacturingControls};

} // namespace

const DialogTemplate& AboutTemplate() {
    return kAbout;
}
const DialogTemplate& HelpTemplate() {
    return kHelp;
}
const DialogTemplate& ThresholdTemplate() {
    return kThreshold;
}
const DialogTemplate& TimersTemplate() {
    return kTimers;
}
const DialogTemplate& ManufacturingTemplate() {
    return kManufacturing;
}
