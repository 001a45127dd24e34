#include "AudioDevices.h"

namespace orvex::audio {

int EventRegistry::createEvent(DXEventTarget* target) {
    const int id = m_next++;
    m_targets[id] = target;
    return id;
}

void EventRegistry::destroyEvent(int eventId) {
    m_targets.erase(eventId);
}

void EventRegistry::fire(int eventId) {
    const auto it = m_targets.find(eventId);
    if (it != m_targets.end() && it->second) it->second->DirectXEvent8_DXCallback(eventId);
}

} // namespace orvex::audio
