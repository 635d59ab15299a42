#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>
#include <vector>

#include "catalogue/NameFinder.h"
#include "jobs/Job.h"

namespace vorpex {

class NameCodec;
class PackFile;

// Runs searches by name as jobs beside the window, so that typing never waits for one. The newest request
// wins: a request cancels the search in progress, and only the newest search's result is reported. The
// searches run one at a time on a pool of one thread, which builds the finder the first time a catalogue is
// searched; only those jobs touch the finder, and the catalogue changes only while none runs.
class FindRunner : public QObject {
    Q_OBJECT
public:
    explicit FindRunner(QObject* parent = nullptr);
    ~FindRunner() override;

    // The catalogue and codec to search from now on (null for none). Waits until the searches have let go
    // of the previous ones, so the caller may destroy them when this returns. GUI thread.
    void setCatalogue(const PackFile* pack, const NameCodec* codec);
    // Searches the catalogue for `pattern` (see NameFinder::find); Found follows. GUI thread.
    void search(const QString& pattern);
    // Drops the request in progress; no Found follows for it.
    void cancel();

signals:
    // The matches of the newest request, delivered on the GUI thread.
    void found(const QString& pattern, std::vector<FindHit> hits);

private:
    QThreadPool m_pool;
    const PackFile* m_pack = nullptr;
    const NameCodec* m_codec = nullptr;
    std::unique_ptr<NameFinder> m_finder; // built for m_pack and m_codec by the first search
    QString m_pattern;                    // of the newest request
    Job<std::vector<FindHit>> m_job;      // the newest request
};

} // namespace vorpex
