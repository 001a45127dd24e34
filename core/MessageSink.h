// Where user-visible messages go: a message box in the window, stderr in the command-line
// tool, a recording in tests. Components call ShowMessage; the program installs the sink.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvex {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };

struct Message {
    std::string text;
    MessageIcon icon = MessageIcon::None;
    std::string title;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    /// Shows one message and returns when the user has seen it (for a message box: closed it).
    virtual void showMessage(const Message& message) = 0;
};

/// Prints "title: text" (or just the text) as one line on stderr.
class StderrMessageSink final : public MessageSink {
public:
    void showMessage(const Message& message) override;
};

/// Keeps every message, for tests and for callers that report later.
class RecordingMessageSink final : public MessageSink {
public:
    void showMessage(const Message& message) override { m_messages.push_back(message); }
    const std::vector<Message>& messages() const { return m_messages; }
    bool contains(std::string_view text) const;
    void clear() { m_messages.clear(); }

private:
    std::vector<Message> m_messages;
};

/// Installs the program-wide sink (nullptr restores the stderr sink) and returns the previous
/// one. The sink must outlive its installation.
MessageSink* SetMessageSink(MessageSink* sink);

/// Sends a message to the installed sink.
void ShowMessage(std::string_view text, MessageIcon icon = MessageIcon::None,
                 std::string_view title = {});

/// Installs a sink for the life of a scope (tests, command-line runs).
class ScopedMessageSink {
public:
    explicit ScopedMessageSink(MessageSink& sink) : m_previous(SetMessageSink(&sink)) {}
    ~ScopedMessageSink() { SetMessageSink(m_previous); }
    ScopedMessageSink(const ScopedMessageSink&) = delete;
    ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

private:
    MessageSink* m_previous;
};

} // namespace orvex
