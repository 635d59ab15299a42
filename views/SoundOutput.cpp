#include "views/SoundOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

namespace vorpex {

SoundOutput::SoundOutput(QObject* parent) : QObject(parent) {}

SoundOutput::~SoundOutput() {
    stop();
}

bool SoundOutput::isAvailable() const {
    return !QMediaDevices::defaultAudioOutput().isNull();
}

bool SoundOutput::start(const QAudioFormat& format, const QByteArray& pcm, qint64 from) {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(format))
        return false;
    m_format = format;
    m_pcm = pcm; // shared, not copied
    m_from = qBound<qint64>(0, from, m_pcm.size());
    m_buffer.setData(m_pcm);
    m_buffer.open(QIODevice::ReadOnly);
    m_buffer.seek(m_from);
    m_sink = new QAudioSink(device, format, this);
    connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Idle with the buffer drained is the end of the sound; an underrun mid-way is not.
        if (state == QAudio::IdleState && m_buffer.atEnd()) {
            stop();
            emit finished();
        }
    });
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError) {
        stop();
        return false;
    }
    return true;
}

void SoundOutput::stop() {
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    m_buffer.close();
}

qint64 SoundOutput::position() const {
    if (!m_sink)
        return 0;
    return qMin<qint64>(m_pcm.size(), m_from + m_format.bytesForDuration(m_sink->processedUSecs()));
}

} // namespace vorpex
