#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The keyboard maker's USB vendor ID, fixed at build time.
#ifndef KBCONFIG_VENDOR_ID
#define KBCONFIG_VENDOR_ID 0x2C1A
#endif
inline constexpr uint16_t KeyboardVendorId = KBCONFIG_VENDOR_ID;

// Product IDs of the keyboards this utility configures.
inline constexpr std::array<uint16_t, 19> ProductIdTable = {
    0x0703, 0x0704, 0x0705, 0x0706, 0x0707, 0x0708, 0x0709, 0x0718, 0x0719, 0x0760,
    0x0761, 0x0762, 0x0763, 0x0764, 0x0765, 0x0766, 0x0767, 0x0768, 0x0769};

// The product that has neither a beeper nor the configuration and
// auto-sense switches.
inline constexpr uint16_t ProductWithoutBeeper = 0x0703;

// The configuration interface: vendor-defined usage page, usage 1.
inline constexpr uint16_t VendorUsagePage = 0xFF00;
inline constexpr uint16_t ConfigurationUsage = 1;

// Full report length, report ID included.
inline constexpr std::size_t ReportLength = 9;

bool IsKnownProductId(uint16_t productId);
