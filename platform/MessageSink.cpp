#include "platform/MessageSink.h"

void CRecordingSink::Report(const CMessage& message) {
    std::lock_guard lock(m_mutex);
    m_Messages.push_back(message);
}

std::vector<CMessage> CRecordingSink::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_Messages;
}

std::vector<std::string> CRecordingSink::Texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    texts.reserve(m_Messages.size());
    for (const CMessage& m : m_Messages)
        texts.push_back(m.Full());
    return texts;
}

size_t CRecordingSink::Count() const {
    std::lock_guard lock(m_mutex);
    return m_Messages.size();
}

void CRecordingSink::Clear() {
    std::lock_guard lock(m_mutex);
    m_Messages.clear();
}
