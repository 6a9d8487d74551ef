// Values between the host and WIA: Java boxed values and automation VARIANTs, Byte <-> VT_UI1,
// Short <-> VT_I2, Integer <-> VT_I4, Float <-> VT_R4, Double <-> VT_R8, Boolean <-> VT_BOOL,
// String <-> VT_BSTR, Date (and its subclasses) <-> VT_DATE; Java strings and BSTRs. Dates are
// taken to be in local standard time: only the zone's Bias applies, never daylight saving.
#pragma once

#include "Platform.h"
#include "UniqueValue.h"

// A new VARIANT block from malloc holding `value` (VT_NULL for null), or null when the value
// is of another class or memory runs out. The caller owns the block and gives it back with
// freeVariantBlock (a VariantBlock does). When a call into Java throws (a Date subclass's
// getTime, say), the result is null and the exception stays pending.
VARIANT* jobjectToVariant(JNIEnv* env, jobject value);

// Gives back a block of jobjectToVariant: what its value owns (clearVariantPayload), then
// the block itself. Null is a no-op.
void freeVariantBlock(VARIANT* block);

// A VARIANT block of jobjectToVariant (freeVariantBlock).
using VariantBlock = UniqueValue<VARIANT*, freeVariantBlock>;

// A new local reference to a Java object for `value`, or null for VT_EMPTY, VT_NULL, every
// type outside the correspondence (by-reference and array types included) and a date no
// Java Date can hold. `reserved` is not read.
jobject variantToJobject(JNIEnv* env, void* reserved, const VARIANT* value);

// Releases what `value` owns by its type tag, and writes nothing into it: the BSTR of a
// VT_BSTR; the cell of VT_BYREF combined with VT_I2, VT_I4, VT_R4, VT_R8, VT_BOOL or VT_UI1,
// which must therefore come from malloc; the string a VT_BYREF | VT_BSTR cell points at (the
// cell itself stays). Other types own nothing here.
void clearVariantPayload(VARIANT* value);

// A new BSTR with exactly the string's UTF-16 code units (an empty string gives an empty,
// non-null BSTR), or null for a null string or when memory runs out. Free it with
// SysFreeString.
BSTR jstringToBstr(JNIEnv* env, jstring value);

// A BSTR as a Java String: its SysStringLen characters, embedded zeros included. A null
// BSTR (COM's empty string) gives "". Null with an exception pending when the string
// cannot be made.
jstring bstrToJstring(JNIEnv* env, BSTR bstr);
