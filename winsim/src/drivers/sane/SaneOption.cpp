#include "SaneOption.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace winsim::drivers {
namespace {

// Bounds on what a descriptor may list, against a backend that counts wrong.
constexpr SANE_Int kMaxListed = 4096;
constexpr SANE_Int kMaxValueSize = 1 << 20;

std::string textOf(SANE_String_Const text) { return text ? text : ""; }

// The descriptor's enumerations, each a value SANE defines or the harmless one.
void copyKinds(const SANE_Option_Descriptor& descriptor, SaneOption* option) {
  int type = valueOf(descriptor.type);
  option->type = type >= SANE_TYPE_BOOL && type <= SANE_TYPE_GROUP ? static_cast<SANE_Value_Type>(type)
                                                                   : SANE_TYPE_GROUP;
  int unit = valueOf(descriptor.unit);
  option->unit = unit >= SANE_UNIT_NONE && unit <= SANE_UNIT_MICROSECOND ? static_cast<SANE_Unit>(unit)
                                                                        : SANE_UNIT_NONE;
  int constraint = valueOf(descriptor.constraint_type);
  option->constraint = constraint >= SANE_CONSTRAINT_NONE && constraint <= SANE_CONSTRAINT_STRING_LIST
                           ? static_cast<SANE_Constraint_Type>(constraint)
                           : SANE_CONSTRAINT_NONE;
}

void copyConstraint(const SANE_Option_Descriptor& descriptor, SaneOption* option) {
  switch (option->constraint) {
    case SANE_CONSTRAINT_RANGE:
      if (const SANE_Range* range = descriptor.constraint.range) {
        option->min = numberOfWord(option->type, range->min);
        option->max = numberOfWord(option->type, range->max);
        option->quant = numberOfWord(option->type, range->quant);
      } else {
        option->constraint = SANE_CONSTRAINT_NONE;
      }
      break;
    case SANE_CONSTRAINT_WORD_LIST:
      if (const SANE_Word* list = descriptor.constraint.word_list) {
        SANE_Int count = list[0] < 0 ? 0 : list[0] > kMaxListed ? kMaxListed : list[0];
        for (SANE_Int i = 1; i <= count; ++i)
          option->numbers.push_back(numberOfWord(option->type, list[i]));
      }
      break;
    case SANE_CONSTRAINT_STRING_LIST:
      if (const SANE_String_Const* list = descriptor.constraint.string_list) {
        for (SANE_Int i = 0; i < kMaxListed && list[i]; ++i) option->strings.push_back(list[i]);
      }
      break;
    default:
      option->constraint = SANE_CONSTRAINT_NONE;
      break;
  }
}

}  // namespace

double numberOfWord(SANE_Value_Type type, SANE_Word word) {
  return type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : static_cast<double>(word);
}

bool wordOfNumber(SANE_Value_Type type, double number, SANE_Word* word) {
  double scaled = std::round(type == SANE_TYPE_FIXED ? number * (1 << SANE_FIXED_SCALE_SHIFT) : number);
  if (!std::isfinite(scaled) || scaled < std::numeric_limits<SANE_Word>::min() ||
      scaled > std::numeric_limits<SANE_Word>::max())
    return false;
  *word = static_cast<SANE_Word>(scaled);
  return true;
}

int readSaneValue(const SaneApi& api, SANE_Handle handle, SaneOption* option) {
  option->hasValue = false;
  bool readable = option->active() && (option->capabilities & SANE_CAP_SOFT_DETECT) &&
                  option->type != SANE_TYPE_BUTTON && option->type != SANE_TYPE_GROUP;
  if (!readable || option->size <= 0 || option->size > kMaxValueSize) return SANE_STATUS_GOOD;
  // Room for at least one word, and a terminating zero a string may lack.
  std::vector<char> buffer(static_cast<size_t>(option->size) + sizeof(SANE_Word) + 1, '\0');
  int status = api.controlOption(handle, option->index, SANE_ACTION_GET_VALUE, buffer.data(), nullptr);
  if (status != SANE_STATUS_GOOD) return status;
  if (option->type == SANE_TYPE_STRING) {
    buffer[static_cast<size_t>(option->size)] = '\0';
    option->text = buffer.data();
  } else {
    SANE_Word word = 0;
    std::memcpy(&word, buffer.data(), sizeof word);
    option->number = option->type == SANE_TYPE_BOOL ? (word ? 1 : 0) : numberOfWord(option->type, word);
  }
  option->hasValue = true;
  return SANE_STATUS_GOOD;
}

int readSaneOptions(const SaneApi& api, SANE_Handle handle, std::vector<SaneOption>* options) {
  options->clear();
  // Option 0 is the count, and its descriptor is read before its value like any other's.
  (void)api.getOptionDescriptor(handle, 0);
  SANE_Int count = 0;
  int status = api.controlOption(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
  if (status != SANE_STATUS_GOOD) return status;
  if (count > kMaxOptions) count = kMaxOptions;
  for (SANE_Int index = 1; index < count; ++index) {
    const SANE_Option_Descriptor* descriptor = api.getOptionDescriptor(handle, index);
    if (!descriptor || !descriptor->name || !*descriptor->name) continue;
    SaneOption option;
    option.index = index;
    option.name = descriptor->name;
    option.title = textOf(descriptor->title);
    option.size = descriptor->size;
    option.capabilities = descriptor->cap;
    copyKinds(*descriptor, &option);
    copyConstraint(*descriptor, &option);
    // A value that cannot be read leaves the option without one; it is not the device's end.
    (void)readSaneValue(api, handle, &option);
    options->push_back(std::move(option));
  }
  return SANE_STATUS_GOOD;
}

const SaneOption* findSaneOption(const std::vector<SaneOption>& options, const std::string& name) {
  for (const SaneOption& option : options)
    if (option.name == name) return &option;
  return nullptr;
}

}  // namespace winsim::drivers
