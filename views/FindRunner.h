#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "catalogue/NameFinder.h"

class CNameCodec;
class CPackFile;

// Runs searches by name on a worker thread, so that typing never waits for one. The newest request wins:
// a request cancels the search in progress, and only the newest search's result is reported. The finder
// is built on the worker too, the first time a catalogue is searched.
// Locking: m_mutex guards every member below it; the worker holds it only to take or finish a request.
class CFindRunner : public QObject {
    Q_OBJECT
public:
    explicit CFindRunner(QObject* parent = nullptr);
    ~CFindRunner() override;

    // The catalogue and codec to search from now on (null for none). Waits until the worker has let go
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
    void Run();

    std::thread m_Worker;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_mutex;
    std::condition_variable m_Wake;
    const CPackFile* m_pPack = nullptr;
    const CNameCodec* m_pCodec = nullptr;
    std::unique_ptr<CNameFinder> m_pFinder; // built for m_pPack and m_pCodec; the worker's while busy
    QString m_strPattern;
    uint64_t m_nRequest = 0; // numbers every request; the worker reports only the newest
    uint64_t m_nTaken = 0;   // the request the worker took last
    bool m_bBusy = false;
    bool m_bQuit = false;
};
