#include "views/FindRunner.h"

#include <QMetaObject>

CFindRunner::CFindRunner(QObject* parent) : QObject(parent) {
    m_Worker = std::thread([this] { Run(); });
}

CFindRunner::~CFindRunner() {
    {
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
        m_bCancel = true;
    }
    m_Wake.notify_all();
    m_Worker.join();
}

void CFindRunner::SetCatalogue(const CPackFile* pack, const CNameCodec* codec) {
    std::unique_lock lock(m_mutex);
    ++m_nRequest; // nothing asked before this is reported
    m_bCancel = true;
    m_Wake.wait(lock, [this] { return !m_bBusy; });
    m_nTaken = m_nRequest;
    m_pPack = pack;
    m_pCodec = codec;
    m_pFinder.reset();
}

void CFindRunner::Search(const QString& pattern) {
    {
        std::lock_guard lock(m_mutex);
        ++m_nRequest;
        m_strPattern = pattern;
        m_bCancel = true;
    }
    m_Wake.notify_all();
}

void CFindRunner::Cancel() {
    std::lock_guard lock(m_mutex);
    ++m_nRequest;
    m_nTaken = m_nRequest; // nothing left to take
    m_bCancel = true;
}

void CFindRunner::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_Wake.wait(lock, [this] { return m_bQuit || m_nTaken != m_nRequest; });
        if (m_bQuit)
            return;
        const uint64_t request = m_nRequest;
        m_nTaken = request;
        const std::string pattern = m_strPattern.toStdString();
        if (!m_pPack || !m_pCodec)
            continue;
        m_bBusy = true;
        m_bCancel = false;
        lock.unlock();

        if (!m_pFinder)
            m_pFinder = std::make_unique<CNameFinder>(*m_pPack, *m_pCodec);
        std::vector<CFindHit> hits;
        const bool complete = m_pFinder->Find(pattern, hits, &m_bCancel);

        lock.lock();
        m_bBusy = false;
        m_Wake.notify_all();
        if (!complete || request != m_nRequest)
            continue;
        // Posted to the GUI thread, where a newer request made meanwhile drops it; the call dies with
        // the runner if that goes first.
        QMetaObject::invokeMethod(
            this,
            [this, request, text = QString::fromStdString(pattern), hits = std::move(hits)]() mutable {
                {
                    std::lock_guard guard(m_mutex);
                    if (request != m_nRequest)
                        return;
                }
                emit Found(text, std::move(hits));
            },
            Qt::QueuedConnection);
    }
}
