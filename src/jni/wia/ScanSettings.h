// The host's settings for an unattended scan, and the item properties they become.
#pragma once

#include "Platform.h"

// The six int fields of a WIAScanner; -1 in x, y, width or height leaves the device's value.
struct ScanSettings {
  jint bitDepth = 8;
  jint resolution = 150;
  jint x = -1, y = -1, width = -1, height = -1;
};

constexpr ULONG kMaxScanProperties = 8;

// The data type and depth (bits per pixel) for a bitDepth: 1 or -1 black and white (depth 1),
// 8 and 16 colour with that many bits per channel (24, 48), -8 and -16 grey (8, 16); any
// other value colour with depth 8.
void scanModeOf(jint bitDepth, LONG* dataType, LONG* depth);

// Fills the scan properties, all VT_I4, and returns their number (4 to 8): the resolution in
// both directions, the data type and the depth, then the position and extent fields that are
// not -1, packed in the order x, y, width, height. The resolution is written even when it is -1.
ULONG buildScanProperties(const ScanSettings& settings, PROPSPEC specs[kMaxScanProperties],
                          PROPVARIANT values[kMaxScanProperties]);
