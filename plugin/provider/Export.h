#pragma once

// Everything is hidden by default; only the factory function and the classes the host links
// against are visible outside the module.
#if defined(_WIN32)
#define HX_EXPORT __declspec(dllexport)
#else
#define HX_EXPORT __attribute__((visibility("default")))
#endif
