// The preview of old games' media in the real window: pictures and palettes shown with their size and depth,
// sounds played (through a stand-in for the sound device) and stopped, a MIDI file summarised, a file the
// decoders refuse shown as hex with the reason; and Save As, which converts what is shown to PNG or WAV.
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>

#include "app/EntryCommands.h"
#include "app/PreviewAsCommand.h"
#include "app/PreviewController.h"
#include "app/SaveAsCommand.h"
#include "platform/MessageTexts.h"
#include "tests/gui/AppTestSupport.h"
#include "tools/mediasamples/MediaSamples.h"
#include "views/MediaView.h"
#include "views/PreviewPane.h"
#include "views/SoundOutput.h"
#include "views/SoundView.h"

using namespace vorpex;

namespace {

// Plays nowhere; keeps what it was handed.
struct SilentOutput : SoundOutput {
    bool isAvailable() const override { return true; }
    bool start(const QAudioFormat& format, const QByteArray& pcm, qint64 from) override {
        m_played = pcm;
        m_rate = format.sampleRate();
        this->m_from = from;
        m_playing = true;
        return true;
    }
    void stop() override { m_playing = false; }
    qint64 position() const override { return m_from; }

    QByteArray m_played;
    int m_rate = 0;
    qint64 m_from = -1;
    bool m_playing = false;
};

const IndexedImage kTitle = IndexedImage::make(40, 25, 256);
// 120 ms at 10 kHz.
const std::string kSamples =
    QByteArray("\x80\x90\xA0\xB0\xA0\x90\x80\x70\x60\x50\x60\x70").repeated(100).toStdString();

// Headerless PCM, with a NUL so that it is not taken for text.
const std::string kRaw = std::string("\x00\x80\xFF", 3) + std::string(2202, '\x90');

std::string pcmOf(const Sound& sound) {
    return {sound.m_samples.begin(), sound.m_samples.end()};
}

} // namespace

class MediaPreviewTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    TestApp m_app;
    PreviewPane* pane() const { return m_app.frame()->preview()->pane(); }
    MediaView* media() const { return pane()->mediaView(); }
    SaveAsCommand* saveAs() const { return m_app.frame()->findChild<SaveAsCommand*>(); }

    // Shows row `name` of the archive's top level.
    void show(const QString& name) {
        const QAbstractItemModel* model = m_app.list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == name) {
                m_app.list()->setCurrentIndex(model->index(row, 0));
                return;
            }
        QFAIL(qPrintable(name));
    }

private slots:
    void init() {
        useEmptySettings();
        m_dir.emplace();
        std::string palette;
        for (int i = 0; i < 768; ++i)
            palette += char(i * 7 % 251);
        const QString archive = writeArchive(
            *m_dir, "media.dir",
            {fileNode("TITLE.PCX", writePcx(kTitle, 8, 1, true)), fileNode("GAME.PAL", palette),
             fileNode("DOOR.VOC", VocWriter().sound(156, kSamples).end()),
             fileNode("SONG.MID", writeMidi(0, 96, {std::string("\x00\xFF\x2F\x00", 4)})),
             fileNode("CUT.PCX", writePcx(kTitle, 8, 1, true).substr(0, 200)), fileNode("NOTES.TXT", "text"),
             fileNode("NOISE.BIN", kRaw), fileNode("SKY.TGA", writeTgaMapped(kTitle, true, false)),
             fileNode("LOGO.LBM", writeIlbm(kTitle, 8, true, false)),
             fileNode("STEP.WAV", writeWavFile(1, 1, 22050, 8, 1, kSamples))});
        QVERIFY(m_app.start({archive}));
        QVERIFY(QTest::qWaitForWindowExposed(m_app.frame()));
        m_app.frame()->preview()->action()->setChecked(true);
        m_app.select({});
    }
    void cleanup() { m_app.m_app.reset(); }

    void picturesShowWithSizeAndDepth() {
        const std::vector<uint8_t> expected = kTitle.rgba();
        for (const char* name : {"TITLE.PCX", "SKY.TGA", "LOGO.LBM"}) {
            show(name);
            QCOMPARE(pane()->kind(), PreviewPane::Kind::Media);
            QTRY_VERIFY(media()->decoded());
            const QImage image = media()->decoded()->m_image.convertToFormat(QImage::Format_RGBA8888);
            QCOMPARE(image.size(), QSize(40, 25));
            QVERIFY2(std::equal(expected.begin(), expected.end(), image.constBits()), name);
            QCOMPARE(media()->caption(), QStringLiteral("40x25, 8") + kMediaIndexed);
            QVERIFY(!media()->findChild<QLabel*>(QStringLiteral("MediaPicture"))->pixmap().isNull());
        }

        show("GAME.PAL");
        QTRY_VERIFY(media()->decoded());
        QCOMPARE(media()->decoded()->m_image.size(), QSize(16 * kSwatchSize, 16 * kSwatchSize));
        // The swatch of colour 1, the second triple.
        QCOMPARE(media()->decoded()->m_image.pixelColor(kSwatchSize + 1, 1), QColor(7 * 3, 7 * 4, 7 * 5));

        show("SONG.MID");
        QTRY_VERIFY(media()->decoded());
        QVERIFY(media()->decoded()->m_text.startsWith(QString::fromLatin1(kMidiHeading)));
        QVERIFY(!saveAs()->action()->isEnabled()); // nothing to convert
    }

    void refusedFilesShowAsHexWithTheReason() {
        show("CUT.PCX");
        QTRY_COMPARE(pane()->kind(), PreviewPane::Kind::Hex);
        QCOMPARE(pane()->note(), QString::fromLatin1(kMediaNoPalette));
        QVERIFY(!media()->decoded());
        show("NOTES.TXT");
        QCOMPARE(pane()->kind(), PreviewPane::Kind::Text);
    }

    void soundsPlayAndStop() {
        SoundView* sound = media()->soundView();
        // Offscreen there is no sound device: nothing can be played, and the view says so.
        if (!SoundOutput().isAvailable()) {
            show("DOOR.VOC");
            QTRY_VERIFY(media()->decoded());
            QVERIFY(!sound->playButton()->isEnabled());
            QVERIFY(sound->findChild<QLabel*>(QStringLiteral("SoundMessage"))->isVisible());
            sound->toggle();
            QVERIFY(!sound->isPlaying());
        }
        auto* output = new SilentOutput;
        sound->setOutput(output);
        show("DOOR.VOC");
        QTRY_VERIFY(media()->decoded());
        QCOMPARE(sound->description(), QString::fromStdString(media()->decoded()->m_sound.description()));
        QCOMPARE(sound->pcm().toStdString(), kSamples);
        QVERIFY(sound->playButton()->isEnabled());
        QCOMPARE(sound->playButton()->text(), QString::fromLatin1(kSoundPlay));

        m_app.frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_app.frame()));
        m_app.list()->setFocus();
        QTest::keyClick(m_app.list(), Qt::Key_Space);
        QVERIFY(sound->isPlaying());
        QVERIFY(output->m_playing);
        QCOMPARE(output->m_played.toStdString(), kSamples);
        QCOMPARE(output->m_rate, 10000); // 1,000,000 / (256 - 156)
        QCOMPARE(sound->playButton()->text(), QString::fromLatin1(kSoundStop));
        QTest::mouseClick(sound->playButton(), Qt::LeftButton);
        QVERIFY(!sound->isPlaying());
        QVERIFY(!output->m_playing);

        // Playing from where the bar was dragged; another row stops it.
        QCOMPARE(sound->positionBar()->maximum(), 120);
        sound->positionBar()->setValue(60);
        sound->play();
        QCOMPARE(output->m_from, 600);
        sound->stop();
        sound->positionBar()->setValue(120);
        sound->play();
        QCOMPARE(output->m_from, 0); // at the end: from the start again
        show("STEP.WAV");
        QVERIFY(!output->m_playing);
        QVERIFY(!sound->isPlaying());
        QTRY_VERIFY(media()->decoded());
        QCOMPARE(sound->pcm().toStdString(), kSamples);
        QCOMPARE(sound->format().sampleRate(), 22050);
        sound->play();
        show("NOTES.TXT");
        QVERIFY(!output->m_playing);
    }

    // Raw PCM is never guessed: it shows as hex until the user asks for it; another row forgets the choice.
    void previewAsShowsRawSoundWhenAsked() {
        auto* previewAs = m_app.frame()->findChild<PreviewAsCommand*>();
        QVERIFY(previewAs->action()->isEnabled());
        show("NOISE.BIN");
        QCOMPARE(pane()->kind(), PreviewPane::Kind::Hex);
        previewAs->showAs(MediaKind::RawPcm);
        QCOMPARE(pane()->kind(), PreviewPane::Kind::Media);
        QTRY_VERIFY(media()->decoded());
        QCOMPARE(media()->soundView()->pcm().toStdString(), kRaw);
        QCOMPARE(media()->soundView()->format().sampleRate(), int(kRawPcmRate));
        QCOMPARE(media()->soundView()->description(), QStringLiteral("11025 Hz, 8-bit, mono, 0.2 s"));
        // As a picture it is refused, and shown as hex with the reason.
        previewAs->showAs(MediaKind::Pcx);
        QTRY_COMPARE(pane()->kind(), PreviewPane::Kind::Hex);
        QCOMPARE(pane()->note(), QString::fromLatin1(kMediaDamaged));
        show("NOTES.TXT");
        show("NOISE.BIN");
        QCOMPARE(pane()->kind(), PreviewPane::Kind::Hex);
        m_app.frame()->preview()->action()->setChecked(false);
        QVERIFY(!previewAs->action()->isEnabled());
    }

    void saveAsConvertsWhatIsShown() {
        QMenu* file = m_app.frame()->findChild<QMenu*>(QStringLiteral("FileMenu"));
        const QList<QAction*> actions = file->actions();
        QCOMPARE(actions.indexOf(saveAs()->action()),
                 actions.indexOf(m_app.frame()->findChild<QAction*>(QStringLiteral("ID_FILE_EXTRACT"))) + 1);
        std::unique_ptr<QMenu> context(m_app.frame()->entryCommands()->contextMenu(m_app.list()));
        QVERIFY(context->actions().contains(saveAs()->action()));

        show("TITLE.PCX");
        QTRY_VERIFY(saveAs()->action()->isEnabled());
        QCOMPARE(saveAs()->suggestedName(), QStringLiteral("TITLE.png"));
        const QString png = m_dir->filePath("title.png");
        QVERIFY(saveAs()->saveTo(png));
        const QImage saved = QImage(png).convertToFormat(QImage::Format_RGBA8888);
        const std::vector<uint8_t> expected = kTitle.rgba();
        QCOMPARE(saved.size(), QSize(40, 25));
        QVERIFY(std::equal(expected.begin(), expected.end(), saved.constBits()));

        show("DOOR.VOC");
        QTRY_VERIFY(saveAs()->action()->isEnabled());
        QCOMPARE(saveAs()->suggestedName(), QStringLiteral("DOOR.wav"));
        const QString wav = m_dir->filePath("door.wav");
        QVERIFY(saveAs()->saveTo(wav));
        const MediaResult<Sound> back = decodeWav(asBytes(readFileBytes(wav.toStdString())));
        QVERIFY(back.isOk());
        QCOMPARE(pcmOf(back.m_value), kSamples);
        QCOMPARE(back.m_value.m_rate, 10000u);

        // Where nothing can be written, nothing is, and the user hears why.
        QVERIFY(!saveAs()->saveTo(m_dir->filePath("missing/door.wav")));
        QCOMPARE(m_app.m_messages.count(), size_t(1));
        QVERIFY(m_app.m_messages.texts()[0].starts_with(kCouldNotWriteFile));
        show("NOTES.TXT");
        QVERIFY(!saveAs()->action()->isEnabled());
    }
};

QTEST_MAIN(MediaPreviewTest)
#include "MediaPreviewTest.moc"
