#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QShortcut;
class QSlider;
class QTimer;

namespace vorpex {

class SoundOutput;
struct Sound;

// A decoded sound in the preview: what it is ("22050 Hz, 8-bit, mono, 1.5 s"), Play/Stop (also Space while
// shown) and a position bar that follows the playing and, dragged, says where to play from. Without a
// sound device the button stays greyed and a line says why. Hiding the view or giving it another sound
// stops the playing. GUI thread only.
class SoundView : public QWidget {
    Q_OBJECT
public:
    explicit SoundView(QWidget* parent = nullptr);

    // Takes `sound` to play (its samples are copied once, into the PCM handed to the output).
    void setSound(const Sound& sound);
    void clear();
    // Puts `output` in place of the default one (tests); the view owns it.
    void setOutput(SoundOutput* output);

    bool isPlaying() const { return m_playing; }
    bool canPlay() const;
    const QByteArray& pcm() const { return m_pcm; }
    const QAudioFormat& format() const { return m_format; }
    QString description() const;
    QPushButton* playButton() const { return m_play; }
    QSlider* positionBar() const { return m_position; }

public slots:
    void play();
    void stop();
    void toggle();

protected:
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setPlaying(bool playing);
    void askOutput();
    void followOutput();
    qint64 byteAt(int millisecond) const;

    SoundOutput* m_output;
    QByteArray m_pcm;
    QAudioFormat m_format;
    bool m_playing = false;
    std::optional<bool> m_available; // whether the output has a device, once asked
    QLabel* m_description;
    QLabel* m_message;
    QPushButton* m_play;
    QSlider* m_position;
    QShortcut* m_space;
    QTimer* m_follow;
};

} // namespace vorpex
