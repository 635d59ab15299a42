#include "views/SoundView.h"

#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "media/MediaTypes.h"
#include "platform/MessageTexts.h"
#include "views/SoundOutput.h"

namespace vorpex {

SoundView::SoundView(QWidget* parent) : QWidget(parent), m_output(new SoundOutput(this)) {
    setObjectName(QStringLiteral("SoundView"));
    setAccessibleName(tr("Sound preview"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("SoundDescription"));
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_description);
    m_play = new QPushButton(QString::fromLatin1(kSoundPlay), this);
    m_play->setObjectName(QStringLiteral("SoundPlay"));
    m_play->setToolTip(tr("Play or stop the sound (Space)"));
    layout->addWidget(m_play, 0, Qt::AlignCenter);
    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(QStringLiteral("SoundPosition"));
    m_position->setAccessibleName(tr("Sound position"));
    layout->addWidget(m_position);
    m_message = new QLabel(QString::fromLatin1(kSoundNoOutput), this);
    m_message->hide();
    m_message->setObjectName(QStringLiteral("SoundMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    layout->addWidget(m_message);
    layout->addStretch(1);

    // Space plays while the sound is shown, wherever the focus is in the window, except where it types.
    m_space = new QShortcut(QKeySequence(Qt::Key_Space), this, this, &SoundView::toggle, Qt::WindowShortcut);
    m_follow = new QTimer(this);
    m_follow->setInterval(50);
    connect(m_follow, &QTimer::timeout, this, &SoundView::followOutput);
    connect(m_play, &QPushButton::clicked, this, &SoundView::toggle);
    // A position dragged to while playing plays from there.
    connect(m_position, &QSlider::sliderReleased, this, [this] {
        if (m_playing)
            play();
    });
    setOutput(m_output);
    clear();
}

void SoundView::setOutput(SoundOutput* output) {
    if (output != m_output) {
        stop();
        delete m_output;
        m_output = output;
        output->setParent(this);
    }
    connect(m_output, &SoundOutput::finished, this, [this] {
        setPlaying(false);
        m_position->setValue(0);
    });
    m_available.reset();
    if (!m_pcm.isEmpty())
        askOutput();
}

void SoundView::askOutput() {
    if (!m_available)
        m_available = m_output->isAvailable();
    m_message->setVisible(!*m_available);
    m_play->setEnabled(canPlay());
}

// The sound system is asked only once a sound is shown: connecting to it costs time and leaves its files.
bool SoundView::canPlay() const {
    return !m_pcm.isEmpty() && m_available.value_or(false);
}

void SoundView::setSound(const Sound& sound) {
    stop();
    m_format = QAudioFormat();
    m_format.setSampleRate(int(sound.m_rate));
    m_format.setChannelCount(sound.m_channels);
    m_format.setSampleFormat(sound.m_bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    m_pcm =
        QByteArray(reinterpret_cast<const char*>(sound.m_samples.data()), qsizetype(sound.m_samples.size()));
    m_description->setText(QString::fromStdString(sound.description()));
    m_position->setRange(0, int(m_format.durationForBytes(m_pcm.size()) / 1000));
    m_position->setValue(0);
    m_position->setEnabled(!m_pcm.isEmpty());
    askOutput();
}

void SoundView::clear() {
    stop();
    m_pcm.clear();
    m_format = QAudioFormat();
    m_description->clear();
    m_position->setRange(0, 0);
    m_position->setEnabled(false);
    m_play->setEnabled(false);
}

QString SoundView::description() const {
    return m_description->text();
}

qint64 SoundView::byteAt(int millisecond) const {
    if (millisecond >= m_position->maximum())
        return 0; // at the end: from the start again
    return qMin<qint64>(m_format.bytesForDuration(qint64(millisecond) * 1000), m_pcm.size());
}

void SoundView::play() {
    if (!canPlay())
        return;
    setPlaying(m_output->start(m_format, m_pcm, byteAt(m_position->value())));
}

void SoundView::stop() {
    if (m_playing)
        m_output->stop();
    setPlaying(false);
}

void SoundView::toggle() {
    if (m_playing)
        stop();
    else
        play();
}

void SoundView::setPlaying(bool playing) {
    m_playing = playing;
    m_play->setText(QString::fromLatin1(playing ? kSoundStop : kSoundPlay));
    if (playing)
        m_follow->start();
    else
        m_follow->stop();
}

void SoundView::followOutput() {
    if (m_playing && !m_position->isSliderDown())
        m_position->setValue(int(m_format.durationForBytes(m_output->position()) / 1000));
}

void SoundView::hideEvent(QHideEvent* event) {
    stop();
    m_space->setEnabled(false);
    QWidget::hideEvent(event);
}

void SoundView::showEvent(QShowEvent* event) {
    m_space->setEnabled(true);
    QWidget::showEvent(event);
}

} // namespace vorpex
