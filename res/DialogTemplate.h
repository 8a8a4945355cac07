#pragma once

#include <span>

// Dialog templates as data: every control with its resource id, kind,
// caption, rectangle in dialog units and style flags. One builder turns a
// template into widgets (dialogkit/DialogBuilder.h).

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    CheckBox,    // automatic check box
    RadioButton, // automatic radio button
    GroupBox,
    Static,        // static text
    Edit,          // edit box
    MultiLineEdit, // multi-line, read-only text box with scroll bars
    Slider,        // vertical slider with tick marks
    ProgressBar,   // vertical smooth progress bar
    Bitmap,        // picture static
    Icon,          // the application icon
};

enum ControlFlags : unsigned {
    NoFlags = 0,
    Hidden = 1u << 0,
    Disabled = 1u << 1,
    GroupStart = 1u << 2,
    TabStop = 1u << 3,
    Centred = 1u << 4,   // centred static text
    Sunken = 1u << 5,    // sunken edge
    Bordered = 1u << 6,  // border
    NoTabStop = 1u << 7, // explicitly no tab stop
};

struct ControlTemplate {
    int id; // -1 for controls without an id
    ControlKind kind;
    const char* caption;
    int x, y, width, height; // dialog units
    unsigned flags;
};

struct DialogTemplate {
    int templateId;
    const char* caption;
    int width, height; // dialog units
    std::span<const ControlTemplate> controls;
};

// Templates: main window 102, About 100, Help 145, Threshold 148, Timers 149,
// Manufacturing 150.
const DialogTemplate& MainWindowTemplate();
const DialogTemplate& AboutTemplate();
const DialogTemplate& HelpTemplate();
const DialogTemplate& ThresholdTemplate();
const DialogTemplate& TimersTemplate();
const DialogTemplate& ManufacturingTemplate();
