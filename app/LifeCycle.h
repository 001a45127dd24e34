// Where the receiver is in its life. The core moves it on; the controllers read it, because
// some events can reach them while the program is still starting (a panel that already
// exists) or already ending (a nested event loop during shutdown): a handler that arrives
// outside the running state does nothing.
#pragma once

namespace orvex::app {

struct LifeCycle {
    bool initialising = false; ///< Form_Initialize runs (Form_Load must wait)
    bool loaded = false;       ///< Form_Load has finished
    bool unloaded = false;     ///< Form_Unload has begun: the receiver is going away
    bool running() const { return loaded && !unloaded; }
};

} // namespace orvex::app
