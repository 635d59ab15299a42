#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>
#include <vector>

#include "catalogue/NameFinder.h"
#include "jobs/Job.h"

class CNameCodec;
class CPackFile;

// Runs searches by name as jobs beside the window, so that typing never waits for one. The newest request
// wins: a request cancels the search in progress, and only the newest search's result is reported. The
// searches run one at a time on a pool of one thread, which builds the finder the first time a catalogue is
// searched; only those jobs touch the finder, and the catalogue changes only while none runs.
class CFindRunner : public QObject {
    Q_OBJECT
public:
    explicit CFindRunner(QObject* parent = nullptr);
    ~CFindRunner() override;

    // The catalogue and codec to search from now on (null for none). Waits until the searches have let go
    // of the previous ones, so the caller may destroy them when this returns. GUI thread.
    void SetCatalogue(const CPackFile* pack, const CNameCodec* codec);
    // Searches the catalogue for `pattern` (see CNameFinder::Find); Found follows. GUI thread.
    void Search(const QString& pattern);
    // Drops the request in progress; no Found follows for it.
    void Cancel();

signals:
    // The matches of the newest request, delivered on the GUI thread.
    void Found(const QString& pattern, std::vector<CFindHit> hits);

private:
    QThreadPool m_pool;
    const CPackFile* m_pPack = nullptr;
    const CNameCodec* m_pCodec = nullptr;
    std::unique_ptr<CNameFinder> m_pFinder; // built for m_pPack and m_pCodec by the first search
    QString m_pattern;                      // of the newest request
    Job<std::vector<CFindHit>> m_job;       // the newest request
};
