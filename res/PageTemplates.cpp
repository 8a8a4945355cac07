// Templates of the About and Help dialogs and of the three settings pages.
// Controls are listed in template order, which is also their tab order.

#include "res/ControlIds.h"
#include "res/DialogTemplate.h"

namespace {

constexpr unsigned ValueLabel = Bordered | Sunken;

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, ControlKind::Icon, "", 11, 17, 20, 20, NoFlags},
    {IDC_STATIC, ControlKind::Static, "Quindle Keyboard Configuration Utility", 40, 10, 113, 20,
     Centred},
    {IDC_STATIC, ControlKind::Static, "Version 2.2j", 53, 30, 42, 10, NoFlags},
    {IDC_STATIC, ControlKind::Static, "Supports Product ID 0x0703 - 0x707, 0x718 - 0x719", 52, 55,
     174, 8, NoFlags},
    {IDOK, ControlKind::DefaultPushButton, "OK", 190, 7, 50, 14, GroupStart | TabStop},
};

constexpr ControlTemplate kHelpControls[] = {
    {IDOK, ControlKind::DefaultPushButton, "Close", 426, 290, 50, 14, TabStop},
    {IDC_HELP_TEXT, ControlKind::MultiLineEdit, "", 7, 7, 469, 278, Bordered | TabStop},
};

// One column a setting: caption, value label, slider.
constexpr ControlTemplate kThresholdControls[] = {
    {IDC_LOW_CAPTION, ControlKind::Static, "Low", 17, 7, 14, 8, NoFlags},
    {IDC_LOW_VALUE, ControlKind::Static, "", 13, 20, 22, 13, ValueLabel | Centred},
    {IDC_LOW_SLIDER, ControlKind::Slider, "", 7, 33, 31, 122, TabStop},
    {IDC_HIGH_CAPTION, ControlKind::Static, "High", 44, 7, 16, 8, NoFlags},
    {IDC_HIGH_VALUE, ControlKind::Static, "", 42, 20, 22, 13, ValueLabel | Centred},
    {IDC_HIGH_SLIDER, ControlKind::Slider, "", 38, 33, 31, 122, TabStop},
    {IDC_INTERVAL_CAPTION, ControlKind::Static, "Interval", 73, 7, 24, 8, NoFlags},
    {IDC_INTERVAL_VALUE, ControlKind::Static, "", 74, 20, 28, 13, ValueLabel},
    {IDC_INTERVAL_SLIDER, ControlKind::Slider, "", 74, 33, 27, 122, TabStop},
    {IDC_KEY_LIMIT_CAPTION, ControlKind::Static, "Key Limit", 109, 7, 29, 8, NoFlags},
    {IDC_KEY_LIMIT_VALUE, ControlKind::Static, "", 109, 20, 28, 13, ValueLabel | Centred},
    {IDC_KEY_LIMIT_SLIDER, ControlKind::Slider, "", 107, 33, 31, 122, TabStop},
    {IDC_CLEAN_CAPTION, ControlKind::Static, "Clean", 147, 7, 19, 8, NoFlags},
    {IDC_CLEAN_VALUE, ControlKind::Static, "", 141, 20, 32, 13, ValueLabel},
    {IDC_CLEAN_SLIDER, ControlKind::Slider, "", 143, 33, 27, 122, TabStop},
};

constexpr ControlTemplate kTimersControls[] = {
    {IDC_ALARM_TIMER_CAPTION, ControlKind::Static, "Alarm Timer", 7, 6, 50, 8, NoFlags},
    {IDC_ALARM_TIMER_VALUE, ControlKind::Static, "", 7, 17, 28, 13, ValueLabel},
    {IDC_ALARM_TIMER_SLIDER, ControlKind::Slider, "", 7, 37, 27, 122, TabStop},
    {IDC_PRESETS_CAPTION, ControlKind::Static, "Preset Times", 39, 23, 42, 8, NoFlags},
    {IDC_PRESET_24_HRS, ControlKind::PushButton, "24 Hrs", 40, 37, 34, 14, TabStop},
    {IDC_PRESET_8_HRS, ControlKind::PushButton, "8 Hrs", 40, 52, 34, 14, TabStop},
    {IDC_PRESET_4_HRS, ControlKind::PushButton, "4 Hrs", 40, 67, 34, 14, TabStop},
    {IDC_PRESET_3_HRS, ControlKind::PushButton, "3 Hrs", 40, 83, 34, 14, TabStop},
    {IDC_PRESET_1_MIN, ControlKind::PushButton, "1 Min", 77, 83, 35, 14, TabStop | Hidden},
    {IDC_ENABLES_GROUP, ControlKind::GroupBox, " Enables", 39, 102, 96, 57, NoFlags},
    {IDC_TIMER_ENABLE, ControlKind::CheckBox, "Timer", 44, 114, 36, 10, TabStop},
    {IDC_KEYSTROKE_ENABLE, ControlKind::CheckBox, "Keystroke", 44, 127, 51, 10, TabStop},
    {IDC_CLEAN_ON_POWER_UP, ControlKind::CheckBox, "Clean On Power Up", 44, 140, 76, 10, TabStop},
};

constexpr ControlTemplate kManufacturingControls[] = {
    {IDC_ID_NUMBER_EDIT, ControlKind::Edit, "", 33, 19, 38, 14, Bordered | TabStop},
    {IDC_SET_ID_NUMBER, ControlKind::PushButton, "Set ID Number", 14, 38, 76, 14, TabStop},
    {IDC_STATIC, ControlKind::GroupBox, " ID Number ", 7, 7, 93, 55, NoFlags},
    {IDC_STATIC, ControlKind::GroupBox, " Host Mode ", 104, 7, 65, 55, NoFlags},
    {IDC_HOST_MODE_ENABLE, ControlKind::CheckBox, "Enable", 113, 19, 37, 10, TabStop},
    {IDC_HOST_LED_ON, ControlKind::CheckBox, "LED On", 113, 33, 47, 10, TabStop},
    {IDC_HOST_BEEPER_ON, ControlKind::CheckBox, "Beeper On", 113, 48, 50, 10, TabStop},
    {IDC_MESSAGE_LOG, ControlKind::CheckBox, "Enable Message Log", 7, 127, 84, 10, TabStop},
    {IDC_STATIC, ControlKind::GroupBox, "Disable Sensors", 7, 71, 162, 41, NoFlags},
    {IDC_DISABLE_LEFT, ControlKind::CheckBox, "Left", 15, 82, 46, 10, TabStop},
    {IDC_DISABLE_RIGHT, ControlKind::CheckBox, "Right", 15, 95, 42, 10, TabStop},
    {IDC_DISABLE_PRESSURE, ControlKind::CheckBox, "Pressure", 87, 81, 47, 10, TabStop},
    {IDC_DISABLE_SENSOR4, ControlKind::CheckBox, "Sensor4", 87, 96, 48, 10, TabStop},
    {IDC_DISABLE_BACKLIGHT, ControlKind::CheckBox, "DisableBacklight", 7, 116, 67, 10, TabStop},
    {IDC_DISABLE_CONFIG, ControlKind::CheckBox, "Disable Config", 94, 116, 60, 10, TabStop},
    {IDC_DISABLE_AUTOSENSE, ControlKind::CheckBox, "Disable AutoSense", 95, 127, 74, 10, TabStop},
    {IDC_USB_KEYBOARD, ControlKind::RadioButton, "USB Keyboard", 108, 159, 61, 10,
     GroupStart | NoTabStop},
    {IDC_PS2_KEYBOARD, ControlKind::RadioButton, "PS2 Keyboard", 105, 149, 60, 10, NoTabStop},
    {IDC_REENUMERATE, ControlKind::CheckBox, "Off/On Re-enumerate", 7, 141, 85, 10,
     GroupStart | TabStop},
};

constexpr DialogTemplate kAbout{IDD_ABOUT, "About Quindle Keyboard Configuration Utility", 247, 78,
                                kAboutControls};
constexpr DialogTemplate kHelp{IDD_HELP, "Help for Quindle Keyboard Configuration Utility", 483,
                               311, kHelpControls};
constexpr DialogTemplate kThreshold{IDD_THRESHOLD, "Threshold", 180, 162, kThresholdControls};
constexpr DialogTemplate kTimers{IDD_TIMERS, "Timers", 142, 166, kTimersControls};
constexpr DialogTemplate kManufacturing{IDD_MANUFACTURING, "Manufacturing", 176, 166,
                                        kManufacturingControls};

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
