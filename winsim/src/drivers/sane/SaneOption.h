// A SANE option as the service keeps it: a copy of its descriptor and current value, read
// on the driver's thread. SANE's own descriptors may change or go when options reload, so
// nothing points into them.
#pragma once

#include <sane/sane.h>
#include <sane/saneopts.h>  // the well-known option names

#include <string>
#include <vector>

#include "SaneApi.h"

namespace winsim::drivers {

struct SaneOption {
  int index = 0;
  std::string name;
  std::string title;
  SANE_Value_Type type = SANE_TYPE_INT;
  SANE_Unit unit = SANE_UNIT_NONE;
  SANE_Int size = 0;
  SANE_Int capabilities = 0;
  SANE_Constraint_Type constraint = SANE_CONSTRAINT_NONE;
  double min = 0, max = 0, quant = 0;  // SANE_CONSTRAINT_RANGE, in the option's unit
  std::vector<double> numbers;         // SANE_CONSTRAINT_WORD_LIST
  std::vector<std::string> strings;    // SANE_CONSTRAINT_STRING_LIST
  // The current value when the option is active and readable: the first word (as a number
  // in the option's unit) or the string.
  bool hasValue = false;
  double number = 0;
  std::string text;

  bool active() const { return SANE_OPTION_IS_ACTIVE(capabilities); }
  bool settable() const { return active() && SANE_OPTION_IS_SETTABLE(capabilities); }
  bool numeric() const { return type == SANE_TYPE_INT || type == SANE_TYPE_FIXED; }
};

// SANE words as numbers of the option's type and back (fixed point: 16 fraction bits).
double numberOfWord(SANE_Value_Type type, SANE_Word word);
// False when `number` has no word of the type (out of a word's range, not finite).
bool wordOfNumber(SANE_Value_Type type, double number, SANE_Word* word);

// Reads every option of an open device: descriptors (which some backends, SANE's test
// backend among them, require before an option is used) and the values of the active
// ones. Options without a descriptor or a name are left out, and so are the values of
// options of a type SANE does not define. At most kMaxOptions are read. Both answer a
// SANE status.
constexpr int kMaxOptions = 1024;
int readSaneOptions(const SaneApi& api, SANE_Handle handle, std::vector<SaneOption>* options);

// Reads one option's current value into `option` again.
int readSaneValue(const SaneApi& api, SANE_Handle handle, SaneOption* option);

// The option named `name`, or null.
const SaneOption* findSaneOption(const std::vector<SaneOption>& options, const std::string& name);

}  // namespace winsim::drivers
