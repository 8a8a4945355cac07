#include "res/DialogTemplate.h"

// The main window, template 102. Rectangles are in dialog units; the order is
// the template's order, which is also the keyboard focus order.
namespace {

constexpr unsigned NumberField = Centred | Sunken | Bordered;

constexpr ControlTemplate kMainControls[] = {
    {6, ControlKind::PushButton, "Configure", 419, 13, 50, 14, TabStop},
    {4, ControlKind::PushButton, "Save", 419, 33, 50, 14, TabStop},
    {5, ControlKind::PushButton, "Recall", 419, 55, 50, 14, TabStop},
    {1015, ControlKind::CheckBox, "Enable Alarm", 165, 256, 75, 10, TabStop},
    {1021, ControlKind::CheckBox, "Enable Beeper", 165, 267, 78, 10, TabStop},
    {1, ControlKind::DefaultPushButton, "OK", 115, 348, 50, 14, TabStop},
    {8, ControlKind::PushButton, "Store", 173, 348, 50, 14, TabStop},
    {7, ControlKind::PushButton, "Help", 230, 348, 50, 14, TabStop},
    {3, ControlKind::PushButton, "About", 419, 348, 50, 14, TabStop},
    {1088, ControlKind::CheckBox, "Simulate", 426, 80, 43, 10, TabStop},
    {1092, ControlKind::RadioButton, "0", 433, 118, 20, 10, GroupStart | TabStop},
    {1093, ControlKind::RadioButton, "1", 433, 131, 20, 10, NoFlags},
    {1094, ControlKind::RadioButton, "2", 433, 144, 20, 10, NoFlags},
    {1095, ControlKind::RadioButton, "3", 433, 158, 20, 10, NoFlags},
    {1096, ControlKind::RadioButton, "4", 433, 170, 20, 10, NoFlags},
    {1084, ControlKind::Static, "Control to locate tab control", 133, 14, 34, 26,
     Hidden | Disabled},
    {1002, ControlKind::GroupBox, " Sensors ", 7, 21, 120, 169, NoFlags},
    {1007, ControlKind::Static, "", 12, 42, 20, 13, NumberField},
    {1009, ControlKind::Static, "", 33, 42, 19, 13, NumberField},
    {1055, ControlKind::Static, "Left", 13, 32, 13, 8, NoFlags},
    {1056, ControlKind::Static, "Right", 34, 32, 18, 8, NoFlags},
    {1014, ControlKind::Static, "", 7, 311, 462, 30, Sunken},
    {-1, ControlKind::GroupBox, " Alarm Function ", 157, 246, 104, 57, NoFlags},
    {1023, ControlKind::Bitmap, "", 23, 270, 23, 21, NoFlags},
    {-1, ControlKind::Static, "LED", 28, 259, 15, 8, NoFlags},
    {-1, ControlKind::Static, "Beeper", 53, 259, 24, 8, NoFlags},
    {1024, ControlKind::Bitmap, "", 53, 270, 23, 21, NoFlags},
    {-1, ControlKind::GroupBox, " Alarm Indications ", 7, 246, 77, 58, NoFlags},
    {1028, ControlKind::ProgressBar, "", 15, 63, 14, 105, NoFlags},
    {1029, ControlKind::ProgressBar, "", 35, 63, 14, 105, NoFlags},
    {1013, ControlKind::Static, "", 53, 42, 19, 13, NumberField},
    {1057, ControlKind::Static, "3", 60, 32, 8, 8, NoFlags},
    {1030, ControlKind::ProgressBar, "", 55, 63, 14, 105, NoFlags},
    {1025, ControlKind::Static, "", 73, 42, 19, 13, NumberField},
    {1058, ControlKind::Static, "4", 79, 32, 8, 8, NoFlags},
    {1031, ControlKind::ProgressBar, "", 75, 63, 14, 105, NoFlags},
    {1041, ControlKind::Static, "", 95, 42, 28, 13, NumberField},
    {1075, ControlKind::Static, "Keystrokes", 89, 32, 35, 8, NoFlags},
    {1042, ControlKind::ProgressBar, "", 102, 63, 14, 105, NoFlags},
    {-1, ControlKind::GroupBox, " ID Number ", 87, 246, 66, 29, NoFlags},
    {1082, ControlKind::Static, "", 93, 260, 54, 12, NumberField},
    {1034, ControlKind::CheckBox, "Clean", 165, 280, 38, 10, Disabled | TabStop},
    {1091, ControlKind::GroupBox, " Num Sens ", 421, 104, 48, 91, NoFlags},
    {-1, ControlKind::GroupBox, " Product ID ", 87, 278, 65, 26, NoFlags},
    {1101, ControlKind::Static, "Static", 94, 287, 53, 13, NumberField},
};

} // namespace

const DialogTemplate& MainWindowTemplate() {
    static const DialogTemplate tmpl{102, "Quindle Keyboard Configuration Utility", 476, 368,
                                     kMainControls};
    return tmpl;
}
