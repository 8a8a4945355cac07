#include "res/ControlIds.h"
#include "res/DialogTemplate.h"

// The main window, template 102. Rectangles are in dialog units; the order is
// the template's order, which is also the keyboard focus order.
namespace {

constexpr unsigned NumberField = Centred | Sunken | Bordered;

constexpr ControlTemplate kMainControls[] = {
    {IDC_CONFIGURE, ControlKind::PushButton, "Configure", 419, 13, 50, 14, TabStop},
    {IDC_SAVE, ControlKind::PushButton, "Save", 419, 33, 50, 14, TabStop},
    {IDC_RECALL, ControlKind::PushButton, "Recall", 419, 55, 50, 14, TabStop},
    {IDC_ENABLE_ALARM, ControlKind::CheckBox, "Enable Alarm", 165, 256, 75, 10, TabStop},
    {IDC_ENABLE_BEEPER, ControlKind::CheckBox, "Enable Beeper", 165, 267, 78, 10, TabStop},
    {IDOK, ControlKind::DefaultPushButton, "OK", 115, 348, 50, 14, TabStop},
    {IDC_STORE, ControlKind::PushButton, "Store", 173, 348, 50, 14, TabStop},
    {IDC_HELP_BUTTON, ControlKind::PushButton, "Help", 230, 348, 50, 14, TabStop},
    {IDC_ABOUT, ControlKind::PushButton, "About", 419, 348, 50, 14, TabStop},
    {IDC_SIMULATE, ControlKind::CheckBox, "Simulate", 426, 80, 43, 10, TabStop},
    {IDC_NUM_SENSORS_0, ControlKind::RadioButton, "0", 433, 118, 20, 10, GroupStart | TabStop},
    {IDC_NUM_SENSORS_1, ControlKind::RadioButton, "1", 433, 131, 20, 10, NoFlags},
    {IDC_NUM_SENSORS_2, ControlKind::RadioButton, "2", 433, 144, 20, 10, NoFlags},
    {IDC_NUM_SENSORS_3, ControlKind::RadioButton, "3", 433, 158, 20, 10, NoFlags},
    {IDC_NUM_SENSORS_4, ControlKind::RadioButton, "4", 433, 170, 20, 10, NoFlags},
    {IDC_SHEET_PLACEHOLDER, ControlKind::Static, "Control to locate tab control", 133, 14, 34, 26,
     Hidden | Disabled},
    {IDC_SENSORS_GROUP, ControlKind::GroupBox, " Sensors ", 7, 21, 120, 169, NoFlags},
    {IDC_LEFT_VALUE, ControlKind::Static, "", 12, 42, 20, 13, NumberField},
    {IDC_RIGHT_VALUE, ControlKind::Static, "", 33, 42, 19, 13, NumberField},
    {IDC_LEFT_CAPTION, ControlKind::Static, "Left", 13, 32, 13, 8, NoFlags},
    {IDC_RIGHT_CAPTION, ControlKind::Static, "Right", 34, 32, 18, 8, NoFlags},
    {IDC_STATUS_TEXT, ControlKind::Static, "", 7, 311, 462, 30, Sunken},
    {IDC_STATIC, ControlKind::GroupBox, " Alarm Function ", 157, 246, 104, 57, NoFlags},
    {IDC_LED_IMAGE, ControlKind::Bitmap, "", 23, 270, 23, 21, NoFlags},
    {IDC_STATIC, ControlKind::Static, "LED", 28, 259, 15, 8, NoFlags},
    {IDC_STATIC, ControlKind::Static, "Beeper", 53, 259, 24, 8, NoFlags},
    {IDC_BEEPER_IMAGE, ControlKind::Bitmap, "", 53, 270, 23, 21, NoFlags},
    {IDC_STATIC, ControlKind::GroupBox, " Alarm Indications ", 7, 246, 77, 58, NoFlags},
    {IDC_LEFT_BAR, ControlKind::ProgressBar, "", 15, 63, 14, 105, NoFlags},
    {IDC_RIGHT_BAR, ControlKind::ProgressBar, "", 35, 63, 14, 105, NoFlags},
    {IDC_SENSOR3_VALUE, ControlKind::Static, "", 53, 42, 19, 13, NumberField},
    {IDC_SENSOR3_CAPTION, ControlKind::Static, "3", 60, 32, 8, 8, NoFlags},
    {IDC_SENSOR3_BAR, ControlKind::ProgressBar, "", 55, 63, 14, 105, NoFlags},
    {IDC_SENSOR4_VALUE, ControlKind::Static, "", 73, 42, 19, 13, NumberField},
    {IDC_SENSOR4_CAPTION, ControlKind::Static, "4", 79, 32, 8, 8, NoFlags},
    {IDC_SENSOR4_BAR, ControlKind::ProgressBar, "", 75, 63, 14, 105, NoFlags},
    {IDC_KEYSTROKE_VALUE, ControlKind::Static, "", 95, 42, 28, 13, NumberField},
    {IDC_KEYSTROKE_CAPTION, ControlKind::Static, "Keystrokes", 89, 32, 35, 8, NoFlags},
    {IDC_KEYSTROKE_BAR, ControlKind::ProgressBar, "", 102, 63, 14, 105, NoFlags},
    {IDC_STATIC, ControlKind::GroupBox, " ID Number ", 87, 246, 66, 29, NoFlags},
    {IDC_ID_NUMBER_TEXT, ControlKind::Static, "", 93, 260, 54, 12, NumberField},
    {IDC_CLEAN_ACTIVE, ControlKind::CheckBox, "Clean", 165, 280, 38, 10, Disabled | TabStop},
    {IDC_NUM_SENSORS_GROUP, ControlKind::GroupBox, " Num Sens ", 421, 104, 48, 91, NoFlags},
    {IDC_STATIC, ControlKind::GroupBox, " Product ID ", 87, 278, 65, 26, NoFlags},
    {IDC_PRODUCT_ID_TEXT, ControlKind::Static, "Static", 94, 287, 53, 13, NumberField},
};

} // namespace

const DialogTemplate& MainWindowTemplate() {
    static const DialogTemplate tmpl{IDD_MAIN_WINDOW, "Quindle Keyboard Configuration Utility", 476,
                                     368, kMainControls};
    return tmpl;
}
