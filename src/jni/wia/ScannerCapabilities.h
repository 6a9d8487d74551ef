// What a scanner can do, read from its root item and its scan item, as the ints the host's
// _capabilities receives:
//   [0] WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES  [1] ..._STATUS  [2] ..._SELECT  [3] WIA_DPS_PAGES
//   [4] [5] the bed's width and height, [6] [7] the largest sheet the feeder takes (1/1000 inch)
//   [8] 1 when the root's WIA_DPS_PAGE_WIDTH and _HEIGHT are both writable, else 0
//   [9] the scan item's current WIA_IPS_XRES
//   [10] its valid values' kind (0 unknown, 1 range, 2 list), [11] n, then n values: a range's
//        minimum, nominal, maximum and step, or the list's values
//   then m and m data types the item offers (WIA_IPA_DATATYPE), then k and k depths it offers
//   for its current data type (WIA_IPA_DEPTH), a range counted out from its minimum.
// -1 wherever the device lacks a property (it reads as VT_EMPTY) or gives it as no VT_I4.
#pragma once

#include "Platform.h"

// The capabilities as a new int array, or null with the failure reported (a storage that
// cannot be had, a read that fails) or the array's error pending.
jintArray readScannerCapabilities(JNIEnv* env, IWiaItem* root, IWiaItem* item);
