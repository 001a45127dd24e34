// Yielding to the user interface. Waits in the receiver (bit timing to the synthesiser, the
// sound card stop, a filter rebuild waiting for the block in progress) never block the one
// thread: they call YieldToUser, which the window maps to QCoreApplication::processEvents.
#pragma once

#include <functional>

namespace orvex {

using YieldHook = std::function<void()>;

/// Installs the hook called by YieldToUser and returns the previous one. An empty hook makes
/// YieldToUser do nothing (the default, used by the command-line tool and most tests).
YieldHook SetYieldHook(YieldHook hook);

/// Lets pending user-interface events run once.
void YieldToUser();

/// Installs a hook for the life of a scope.
class ScopedYieldHook {
public:
    explicit ScopedYieldHook(YieldHook hook) : m_previous(SetYieldHook(std::move(hook))) {}
    ~ScopedYieldHook() { SetYieldHook(std::move(m_previous)); }
    ScopedYieldHook(const ScopedYieldHook&) = delete;
    ScopedYieldHook& operator=(const ScopedYieldHook&) = delete;

private:
    YieldHook m_previous;
};

} // namespace orvex
