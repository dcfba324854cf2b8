#pragma once
// The adapter's entry point for hosts that open its library when first needed (dlopen)
// instead of linking it: registers "Image.Stream".
namespace folioray {
class ObjectRegistry;
}

extern "C" __attribute__((visibility("default"))) void folioray_haru_register_objects(
    folioray::ObjectRegistry& registry);
