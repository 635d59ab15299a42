#include "views/FindRunner.h"

namespace vorpex {

FindRunner::FindRunner(QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(1);
    connect(m_job.watcher(), &QFutureWatcher<std::vector<FindHit>>::finished, this, [this] {
        if (m_job.hasResult())
            emit found(m_pattern, m_job.result());
    });
}

FindRunner::~FindRunner() {
    m_job.cancel();
    m_pool.waitForDone();
}

void FindRunner::setCatalogue(const PackFile* pack, const NameCodec* codec) {
    m_job.cancel();
    m_pool.waitForDone();
    m_pack = pack;
    m_codec = codec;
    m_finder.reset();
}

void FindRunner::search(const QString& pattern) {
    m_job.cancel();
    if (!m_pack || !m_codec)
        return;
    m_pattern = pattern;
    m_job.start(
        [this, text = pattern.toStdString()](QPromise<std::vector<FindHit>>& promise,
                                             const std::atomic<bool>& cancel) {
            if (cancel)
                return;
            if (!m_finder)
                m_finder = std::make_unique<NameFinder>(*m_pack, *m_codec);
            std::vector<FindHit> hits;
            if (m_finder->find(text, hits, &cancel))
                promise.addResult(std::move(hits));
        },
        &m_pool);
}

void FindRunner::cancel() {
    m_job.cancel();
}

} // namespace vorpex
