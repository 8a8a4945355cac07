#pragma once

// Resource ids of the dialog templates and of their controls. A control id
// is unique only within its own template: the same number can stand for
// different controls in different templates (1021 is "Enable Beeper" in the
// main window and the "3 Hrs" preset on the Timers page), so each control
// has its own name here.

// Templates.
inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDD_MAIN_WINDOW = 102;
inline constexpr int IDD_HELP = 145;
inline constexpr int IDD_THRESHOLD = 148;
inline constexpr int IDD_TIMERS = 149;
inline constexpr int IDD_MANUFACTURING = 150;

// Controls that are never looked up by id, and the button that accepts a
// dialog ("OK" of the main window and of About, "Close" of Help). The Windows
// resource headers define both names as macros with the same values.
#ifndef IDC_STATIC
inline constexpr int IDC_STATIC = -1;
#endif
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif

// Main window (template 102).
inline constexpr int IDC_ABOUT = 3;
inline constexpr int IDC_SAVE = 4;
inline constexpr int IDC_RECALL = 5;
inline constexpr int IDC_CONFIGURE = 6;   // reads "Lock Config" while unlocked
inline constexpr int IDC_HELP_BUTTON = 7; // IDC_HELP is a cursor of the Windows headers
inline constexpr int IDC_STORE = 8;
inline constexpr int IDC_ENABLE_ALARM = 1015;
inline constexpr int IDC_ENABLE_BEEPER = 1021;
inline constexpr int IDC_CLEAN_ACTIVE = 1034; // disabled: shows the keyboard cleaning
inline constexpr int IDC_SIMULATE = 1088;
inline constexpr int IDC_SHEET_PLACEHOLDER = 1084; // hidden: where the property sheet goes
inline constexpr int IDC_STATUS_TEXT = 1014;
inline constexpr int IDC_ID_NUMBER_TEXT = 1082;
inline constexpr int IDC_PRODUCT_ID_TEXT = 1101;
inline constexpr int IDC_LED_IMAGE = 1023;
inline constexpr int IDC_BEEPER_IMAGE = 1024;
inline constexpr int IDC_SENSORS_GROUP = 1002;
// The sensor and keystroke columns: caption, number field, bar.
inline constexpr int IDC_LEFT_CAPTION = 1055;
inline constexpr int IDC_LEFT_VALUE = 1007;
inline constexpr int IDC_LEFT_BAR = 1028;
inline constexpr int IDC_RIGHT_CAPTION = 1056;
inline constexpr int IDC_RIGHT_VALUE = 1009;
inline constexpr int IDC_RIGHT_BAR = 1029;
inline constexpr int IDC_SENSOR3_CAPTION = 1057;
inline constexpr int IDC_SENSOR3_VALUE = 1013;
inline constexpr int IDC_SENSOR3_BAR = 1030;
inline constexpr int IDC_SENSOR4_CAPTION = 1058;
inline constexpr int IDC_SENSOR4_VALUE = 1025;
inline constexpr int IDC_SENSOR4_BAR = 1031;
inline constexpr int IDC_KEYSTROKE_CAPTION = 1075;
inline constexpr int IDC_KEYSTROKE_VALUE = 1041;
inline constexpr int IDC_KEYSTROKE_BAR = 1042;
// Test mode only: how many sensor columns are shown, 0 to 4 (consecutive ids).
inline constexpr int IDC_NUM_SENSORS_GROUP = 1091;
inline constexpr int IDC_NUM_SENSORS_0 = 1092;
inline constexpr int IDC_NUM_SENSORS_1 = 1093;
inline constexpr int IDC_NUM_SENSORS_2 = 1094;
inline constexpr int IDC_NUM_SENSORS_3 = 1095;
inline constexpr int IDC_NUM_SENSORS_4 = 1096;

// About (template 100) has IDOK only.

// Help (template 145), besides IDOK.
inline constexpr int IDC_HELP_TEXT = 1026;

// Threshold page (template 148): a caption, a value label and a slider a column.
inline constexpr int IDC_LOW_CAPTION = 1059;
inline constexpr int IDC_LOW_VALUE = 1008;
inline constexpr int IDC_LOW_SLIDER = 1004;
inline constexpr int IDC_HIGH_CAPTION = 1060;
inline constexpr int IDC_HIGH_VALUE = 1026;
inline constexpr int IDC_HIGH_SLIDER = 1005;
inline constexpr int IDC_INTERVAL_CAPTION = 1061;
inline constexpr int IDC_INTERVAL_VALUE = 1011;
inline constexpr int IDC_INTERVAL_SLIDER = 1006;
inline constexpr int IDC_KEY_LIMIT_CAPTION = 1073;
inline constexpr int IDC_KEY_LIMIT_VALUE = 1039;
inline constexpr int IDC_KEY_LIMIT_SLIDER = 1010;
inline constexpr int IDC_CLEAN_CAPTION = 1062;
inline constexpr int IDC_CLEAN_VALUE = 1033;
inline constexpr int IDC_CLEAN_SLIDER = 1032;

// Timers page (template 149).
inline constexpr int IDC_ALARM_TIMER_CAPTION = 1063;
inline constexpr int IDC_ALARM_TIMER_VALUE = 1017;
inline constexpr int IDC_ALARM_TIMER_SLIDER = 1016;
inline constexpr int IDC_PRESETS_CAPTION = 1064;
inline constexpr int IDC_PRESET_24_HRS = 1012;
inline constexpr int IDC_PRESET_8_HRS = 1018;
inline constexpr int IDC_PRESET_4_HRS = 1019;
inline constexpr int IDC_PRESET_3_HRS = 1021;
inline constexpr int IDC_PRESET_1_MIN = 1020; // test mode only
inline constexpr int IDC_ENABLES_GROUP = 1065;
inline constexpr int IDC_TIMER_ENABLE = 1035;
inline constexpr int IDC_KEYSTROKE_ENABLE = 1036;
inline constexpr int IDC_CLEAN_ON_POWER_UP = 1022;

// Manufacturing page (template 150), test mode only.
inline constexpr int IDC_ID_NUMBER_EDIT = 1077;
inline constexpr int IDC_SET_ID_NUMBER = 1081;
inline constexpr int IDC_HOST_MODE_ENABLE = 1085;
inline constexpr int IDC_HOST_LED_ON = 1086;
inline constexpr int IDC_HOST_BEEPER_ON = 1087;
inline constexpr int IDC_MESSAGE_LOG = 1027;
inline constexpr int IDC_DISABLE_LEFT = 1051;
inline constexpr int IDC_DISABLE_RIGHT = 1052;
inline constexpr int IDC_DISABLE_PRESSURE = 1053;
inline constexpr int IDC_DISABLE_SENSOR4 = 1054;
inline constexpr int IDC_DISABLE_BACKLIGHT = 1098;
inline constexpr int IDC_DISABLE_CONFIG = 1099;
inline constexpr int IDC_DISABLE_AUTOSENSE = 1100;
inline constexpr int IDC_USB_KEYBOARD = 1104;
inline constexpr int IDC_PS2_KEYBOARD = 1105;
inline constexpr int IDC_REENUMERATE = 1106;
