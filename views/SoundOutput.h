#pragma once

#include <QAudioFormat>
#include <QBuffer>
#include <QByteArray>
#include <QObject>

class QAudioSink;

namespace vorpex {

// Where the preview's sounds go: the desktop's default audio output through Qt Multimedia. A test puts a
// stand-in in its place (the methods are virtual), since a machine without a sound device plays nothing.
// GUI thread only.
class SoundOutput : public QObject {
    Q_OBJECT
public:
    explicit SoundOutput(QObject* parent = nullptr);
    ~SoundOutput() override;

    // Whether there is a device to play on; without one, start() fails.
    virtual bool isAvailable() const;
    // Plays `pcm` (frames of `format`) from byte `from`. False when nothing plays.
    virtual bool start(const QAudioFormat& format, const QByteArray& pcm, qint64 from);
    virtual void stop();
    // The byte of the PCM being played now.
    virtual qint64 position() const;

signals:
    // The sound played to its end (not after stop()).
    void finished();

private:
    QAudioSink* m_sink = nullptr;
    QByteArray m_pcm;
    QBuffer m_buffer;
    QAudioFormat m_format;
    qint64 m_from = 0;
};

} // namespace vorpex
