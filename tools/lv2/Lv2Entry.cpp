// The plugin's entry points: LV2's C interface around QuorvelPlugin. Nothing escapes into
// the host: a failure to instantiate is a null instance, which hosts report.

#include "PluginPorts.h"
#include "QuorvelPlugin.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <cstring>
#include <string>

namespace {

QuorvelPlugin* self(LV2_Handle handle) { return static_cast<QuorvelPlugin*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    try {
        return new QuorvelPlugin(rate, features);
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) { self(handle)->connect(port, data); }
void activate(LV2_Handle handle) { self(handle)->activate(); }
void run(LV2_Handle handle, uint32_t frames) { self(handle)->run(frames); }
void deactivate(LV2_Handle) {}
void cleanup(LV2_Handle handle) { delete self(handle); }

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*) {
    try {
        return self(handle)->save(store, state);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                         uint32_t, const LV2_Feature* const*) {
    try {
        return self(handle)->restore(retrieve, state);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state{save, restore};
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
    return nullptr;
}

const std::string kUri(plugin_ports::kUri);
const LV2_Descriptor kDescriptor{kUri.c_str(), instantiate, connectPort, activate, run,
                                 deactivate,   cleanup,     extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
