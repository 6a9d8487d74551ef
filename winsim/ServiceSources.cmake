# The sources that both builds of the virtual WIA service compile, relative to winsim/src:
# libwinsim.so (winsim/CMakeLists.txt) and the Windows test programs' winsim_windows
# (src/platform/windows/), each adding its adapter of the service's port.
set(winsim_portable_runtime_sources
  runtime/Calls.cpp
  runtime/ClassTable.cpp
  runtime/Control.cpp
  runtime/ObjectCensus.cpp
  runtime/TemporaryName.cpp
  runtime/Text.cpp
)
set(winsim_service_sources
  wia/CameraFiles.cpp
  wia/DeviceManager.cpp
  wia/DeviceSetJson.cpp
  wia/Encode.cpp
  wia/Feeder.cpp
  wia/Item.cpp
  wia/ItemTimes.cpp
  wia/Label.cpp
  wia/Model.cpp
  wia/Progress.cpp
  wia/PropertyCatalogue.cpp
  wia/PropertyReads.cpp
  wia/Render.cpp
  wia/Service.cpp
  wia/Storage.cpp
  wia/Transfer.cpp
  wia/ValidValues.cpp
  wia/Values.cpp
  wia/WriteRules.cpp
)
