#pragma once

#include <cstdint>

// Report descriptors of the keyboard's three HID interfaces.

// A boot keyboard (usage page 1, usage 6): modifier byte, reserved byte,
// six key codes in; five LED bits out.
inline constexpr uint8_t KeyboardDescriptor[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,             // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,             //   Key codes E0-E7 (modifiers)
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, //   8 bits
    0x81, 0x02,                                     //   Input (Data, Variable, Absolute)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,             //   Input (Constant): reserved byte
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05,             //   LEDs 1-5
    0x95, 0x05, 0x75, 0x01, 0x91, 0x02,             //   Output (Data, Variable, Absolute)
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,             //   Output (Constant): padding
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65,             //   Key codes 0-101
    0x15, 0x00, 0x25, 0x65, 0x95, 0x06, 0x75, 0x08, //   6 bytes
    0x81, 0x00,                                     //   Input (Data, Array)
    0xC0,                                           // End Collection
};

// A vendor-defined interface of the given usage: 8-byte input and output
// reports without report IDs. Usage 1 is the configuration interface.
#define KB_VENDOR_DESCRIPTOR(usage)                                                                \
    {                                                                                              \
        0x06, 0x00, 0xFF,           /* Usage Page (vendor-defined 0xFF00) */                       \
            0x09, usage,            /* Usage */                                                    \
            0xA1, 0x01,             /* Collection (Application) */                                 \
            0x15, 0x00,             /*   Logical Minimum (0) */                                    \
            0x26, 0xFF, 0x00,       /*   Logical Maximum (255) */                                  \
            0x75, 0x08, 0x95, 0x08, /*   8 fields of 8 bits */                                     \
            0x09, 0x01, 0x81, 0x02, /*   Input (Data, Variable, Absolute) */                       \
            0x09, 0x01, 0x91, 0x02, /*   Output (Data, Variable, Absolute) */                      \
            0xC0,                   /* End Collection */                                           \
    }

inline constexpr uint8_t ConfigurationDescriptor[] = KB_VENDOR_DESCRIPTOR(0x01);
inline constexpr uint8_t VendorUsage2Descriptor[] = KB_VENDOR_DESCRIPTOR(0x02);

#undef KB_VENDOR_DESCRIPTOR
