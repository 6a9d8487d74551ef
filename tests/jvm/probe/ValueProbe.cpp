// Hands the value conversions and the event sink of the probe build to the tests.
#include "ValueProbe.h"

#include "WIAUtils.h"

namespace {

IWiaEventCallback* newEventCallback() { return new EventCallback(); }

const ValueProbeApi api = {jobjectToVariant, variantToJobject, clearVariantPayload,
                           jstringToBstr, newEventCallback};

}  // namespace

extern "C" JNIEXPORT const ValueProbeApi* vestaroValueProbeApi() { return &api; }
