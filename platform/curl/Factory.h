#pragma once
// The adapter's entry point for hosts that open its library when first needed (dlopen)
// instead of linking it: a new CurlInternet, owned by the caller.
#include "ports/Internet.h"

extern "C" __attribute__((visibility("default"))) folioray::Internet* folioray_curl_new_internet();
