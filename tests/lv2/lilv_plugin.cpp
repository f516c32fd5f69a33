// SPDX-License-Identifier: GPL-3.0-or-later
#include "lilv_plugin.h"

#include <algorithm>

namespace lv2test {

BundleWorld::BundleWorld() : lilvWorld(lilv_world_new())
{
    // The build tree's bundle only: an installed copy must not answer for it.
    const std::string folder = std::string(QUARVINE_LV2_BUNDLE) + "/";
    LilvNode* bundle = lilv_new_file_uri(lilvWorld, nullptr, folder.c_str());
    lilv_world_load_bundle(lilvWorld, bundle);
    lilv_node_free(bundle);
    LilvNode* id = uri("urn:orn:quarvine");
    quarvine = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), id);
    lilv_node_free(id);
}

BundleWorld::~BundleWorld()
{
    lilv_world_free(lilvWorld);
}

LilvNode* BundleWorld::uri(const char* text) const
{
    return lilv_new_uri(lilvWorld, text);
}

int portIndex(const BundleWorld& world, const char* symbol)
{
    LilvNode* node = lilv_new_string(world.world(), symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(world.plugin(), node);
    lilv_node_free(node);
    return port ? static_cast<int>(lilv_port_get_index(world.plugin(), port)) : -1;
}

Instance::Instance(const BundleWorld& world, double sampleRate, const LV2_Feature* const* features)
{
    if (world.plugin())
        instance = lilv_plugin_instantiate(world.plugin(), sampleRate, features);
}

void setDefaults(const BundleWorld& world, Instance& lv2)
{
    for (int i = 0; i < Instance::kControls; ++i) {
        LilvNode* def = nullptr;
        lilv_port_get_range(world.plugin(), lilv_plugin_get_port_by_index(world.plugin(), i), &def, nullptr, nullptr);
        lv2.controls[i] = lilv_node_as_float(def);
        lilv_node_free(def);
    }
}

Instance::~Instance()
{
    if (instance)
        lilv_instance_free(instance);
}

void Instance::connectAll()
{
    for (int i = 0; i < kControls; ++i)
        lilv_instance_connect_port(instance, static_cast<uint32_t>(i), &controls[i]);
    lilv_instance_connect_port(instance, kControls, in.data());
    lilv_instance_connect_port(instance, kControls + 1, out.data());
    lilv_instance_connect_port(instance, kControls + 2, &cabinet);
}

std::vector<float> Instance::process(const std::vector<float>& input, int blockSize)
{
    std::vector<float> result(input.size());
    in.resize(static_cast<std::size_t>(blockSize));
    out.resize(static_cast<std::size_t>(blockSize));
    connectAll();
    for (std::size_t done = 0; done < input.size();) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(blockSize), input.size() - done);
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(done), n, in.begin());
        lilv_instance_run(instance, static_cast<uint32_t>(n));
        std::copy_n(out.begin(), n, result.begin() + static_cast<std::ptrdiff_t>(done));
        done += n;
    }
    return result;
}

} // namespace lv2test
