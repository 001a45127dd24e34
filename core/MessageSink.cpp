#include "MessageSink.h"

#include <cstdio>

namespace orvex {
namespace {
StderrMessageSink g_stderrSink;
MessageSink* g_sink = &g_stderrSink;
} // namespace

void StderrMessageSink::showMessage(const Message& message) {
    if (message.title.empty())
        std::fprintf(stderr, "%s\n", message.text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", message.title.c_str(), message.text.c_str());
}

bool RecordingMessageSink::contains(std::string_view text) const {
    for (const auto& m : m_messages)
        if (m.text.find(text) != std::string::npos) return true;
    return false;
}

MessageSink* SetMessageSink(MessageSink* sink) {
    MessageSink* previous = g_sink;
    g_sink = sink ? sink : &g_stderrSink;
    return previous == &g_stderrSink ? nullptr : previous;
}

void ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) {
    g_sink->showMessage(Message{std::string(text), icon, std::string(title)});
}

} // namespace orvex
