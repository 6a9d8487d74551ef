// Which properties each kind of item has, with their types and access rights: the lists
// that ReadMultiple, WriteMultiple, Enum and GetPropertyAttributes all go by.
#pragma once

#include <utility>
#include <vector>

#include "Model.h"

namespace winsim::wia {

// The properties of an item of `kind`, in ascending ID order, with the device information
// overrides `info` applied to the information storage and the root item. `files`: a camera
// whose pictures are its own files, which have no thumbnail made up for them.
std::vector<PropertyInfo> buildProperties(ItemKind kind, DeviceKind deviceKind, bool resolutionList, bool feeder,
                                          const std::vector<std::pair<PROPID, PropertyValue>>& info,
                                          bool files = false);

// The table of a device without information overrides, built once for the process: every
// device of a kind shares it, so opening a device builds no table.
const std::vector<PropertyInfo>& standardTable(ItemKind kind, DeviceKind deviceKind, bool resolutionList,
                                               bool feeder);

}  // namespace winsim::wia
