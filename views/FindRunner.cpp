#include "views/FindRunner.h"

CFindRunner::CFindRunner(QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(1);
    connect(m_job.watcher(), &QFutureWatcher<std::vector<CFindHit>>::finished, this, [this] {
        if (m_job.hasResult())
            emit Found(m_pattern, m_job.result());
    });
}

CFindRunner::~CFindRunner() {
    m_job.cancel();
    m_pool.waitForDone();
}

void CFindRunner::SetCatalogue(const CPackFile* pack, const CNameCodec* codec) {
    m_job.cancel();
    m_pool.waitForDone();
    m_pPack = pack;
    m_pCodec = codec;
    m_pFinder.reset();
}

void CFindRunner::Search(const QString& pattern) {
    m_job.cancel();
    if (!m_pPack || !m_pCodec)
        return;
    m_pattern = pattern;
    m_job.start(
        [this, text = pattern.toStdString()](QPromise<std::vector<CFindHit>>& promise,
                                             const std::atomic<bool>& cancel) {
            if (cancel)
                return;
            if (!m_pFinder)
                m_pFinder = std::make_unique<CNameFinder>(*m_pPack, *m_pCodec);
            std::vector<CFindHit> hits;
            if (m_pFinder->Find(text, hits, &cancel))
                promise.addResult(std::move(hits));
        },
        &m_pool);
}

void CFindRunner::Cancel() {
    m_job.cancel();
}
