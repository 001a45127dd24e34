#include "YieldHook.h"

#include <utility>

namespace orvex {
namespace {
YieldHook g_hook;
} // namespace

YieldHook SetYieldHook(YieldHook hook) {
    YieldHook previous = std::move(g_hook);
    g_hook = std::move(hook);
    return previous;
}

void YieldToUser() {
    if (g_hook) g_hook();
}

} // namespace orvex
