// Hands the value conversions and the event sink of the probe build to the tests.
#include "ValueProbe.h"

#include "EventCallback.h"
#include "ValueConversion.h"

namespace {

IWiaEventCallback* newEventCallback() { return new EventCallback(); }

const ValueProbeApi api = {jobjectToVariant, variantToJobject, clearVariantPayload, freeVariantBlock,
                           jstringToBstr, newEventCallback};

}  // namespace

extern "C" JNIEXPORT const ValueProbeApi* vestaroValueProbeApi() { return &api; }
