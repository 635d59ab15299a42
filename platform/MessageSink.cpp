#include "platform/MessageSink.h"

namespace vorpex {

void RecordingSink::report(const Message& message) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
}

std::vector<Message> RecordingSink::messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> RecordingSink::texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    texts.reserve(m_messages.size());
    for (const Message& m : m_messages)
        texts.push_back(m.full());
    return texts;
}

size_t RecordingSink::count() const {
    std::lock_guard lock(m_mutex);
    return m_messages.size();
}

void RecordingSink::clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

} // namespace vorpex
