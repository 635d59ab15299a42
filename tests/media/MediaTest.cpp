// The media decoders against files our own writers make (pixel-exact, sample-exact), the writers of today's
// formats read back, and a table of hostile files per decoder.
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

#include "media/MediaDecoders.h"
#include "media/MediaEncoders.h"
#include "media/MediaEntry.h"
#include "platform/MessageTexts.h"
#include "tests/core/CoreTestUtil.h"
#include "tools/mediasamples/MediaSamples.h"

namespace vorpex {

namespace {

ByteSpan span(const std::string& s) {
    return asBytes(s);
}

void expectPicture(const MediaResult<Picture>& got, uint32_t width, uint32_t height,
                   const std::vector<uint8_t>& rgba, const std::string& description) {
    ASSERT_EQ(got.m_error, "");
    EXPECT_EQ(got.m_value.m_width, width);
    EXPECT_EQ(got.m_value.m_height, height);
    EXPECT_TRUE(got.m_value.m_rgba == rgba);
    EXPECT_EQ(got.m_value.description(), description);
}

// 17 and 23: rows that do not fill their bytes, and runs that end mid-row.
constexpr uint32_t kW = 17, kH = 23;

TEST(MediaPictures, PcxAtEveryDepthPlainAndRunLength) {
    for (bool rle : {false, true}) {
        SCOPED_TRACE(rle);
        const auto mono = IndexedImage::make(kW, kH, 2);
        std::vector<uint8_t> bw;
        for (uint8_t i : mono.m_indexes)
            bw.insert(bw.end(), {uint8_t(i * 255), uint8_t(i * 255), uint8_t(i * 255), 255});
        expectPicture(decodePcx(span(writePcx(mono, 1, 1, rle))), kW, kH, bw, "17x23, 1-bit indexed");
        const auto ega = IndexedImage::make(kW, kH, 16);
        expectPicture(decodePcx(span(writePcx(ega, 1, 4, rle))), kW, kH, ega.rgba(), "17x23, 4-bit indexed");
        expectPicture(decodePcx(span(writePcx(ega, 4, 1, rle))), kW, kH, ega.rgba(), "17x23, 4-bit indexed");
        const auto vga = IndexedImage::make(kW, kH, 256);
        expectPicture(decodePcx(span(writePcx(vga, 8, 1, rle))), kW, kH, vga.rgba(), "17x23, 8-bit indexed");
        const Picture rgb = makeTrueColour(kW, kH);
        expectPicture(decodePcx(span(writePcx24(rgb, rle))), kW, kH, rgb.m_rgba, "17x23, 24-bit true colour");
    }
}

TEST(MediaPictures, TgaMappedTrueColourRunLengthAndOrientation) {
    const auto image = IndexedImage::make(kW, kH, 200);
    const Picture opaque = makeTrueColour(kW, kH), clear = makeTrueColour(kW, kH, true);
    // 16 bits keep five bits of each component and one of alpha.
    Picture quantised = clear;
    for (size_t i = 0; i < quantised.m_rgba.size(); ++i)
        quantised.m_rgba[i] =
            i % 4 == 3 ? (clear.m_rgba[i] >= 128 ? 255 : 0) : uint8_t((clear.m_rgba[i] >> 3) * 255 / 31);
    for (bool rle : {false, true})
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::to_string(rle) + std::to_string(topDown));
            expectPicture(decodeTga(span(writeTgaMapped(image, rle, topDown))), kW, kH, image.rgba(),
                          "17x23, 8-bit indexed");
            expectPicture(decodeTga(span(writeTgaTrue(opaque, 24, rle, topDown))), kW, kH, opaque.m_rgba,
                          "17x23, 24-bit true colour");
            expectPicture(decodeTga(span(writeTgaTrue(clear, 32, rle, topDown))), kW, kH, clear.m_rgba,
                          "17x23, 32-bit true colour");
            expectPicture(decodeTga(span(writeTgaTrue(clear, 16, rle, topDown))), kW, kH, quantised.m_rgba,
                          "17x23, 16-bit true colour");
        }
}

TEST(MediaPictures, IlbmPlanesAndPbmPlainAndByteRun1) {
    for (bool byteRun : {false, true}) {
        SCOPED_TRACE(byteRun);
        for (unsigned planes : {1u, 4u, 5u, 8u}) {
            const auto image = IndexedImage::make(kW, kH, 1u << planes);
            expectPicture(decodeIlbm(span(writeIlbm(image, planes, byteRun, false))), kW, kH, image.rgba(),
                          "17x23, " + std::to_string(planes) + "-bit indexed");
        }
        const auto image = IndexedImage::make(kW, kH, 256);
        expectPicture(decodeIlbm(span(writeIlbm(image, 8, byteRun, true))), kW, kH, image.rgba(),
                      "17x23, 8-bit indexed");
    }
}

TEST(MediaPictures, PaletteSwatchesAndSixBitComponents) {
    std::string eight, six;
    for (int i = 0; i < 768; ++i) {
        eight += char(i * 7);
        six += char(i % 64);
    }
    for (bool isSix : {false, true}) {
        const std::string& raw = isSix ? six : eight;
        const auto got = decodePalette(span(raw));
        ASSERT_EQ(got.m_error, "");
        EXPECT_EQ(got.m_value.m_width, 256u);
        EXPECT_EQ(got.m_value.m_sourceBits, isSix ? 6u : 8u);
        for (unsigned swatch : {0u, 17u, 255u}) // its first and last pixel
            for (unsigned corner : {0u, kSwatchSize - 1}) {
                const unsigned x = swatch % 16 * kSwatchSize + corner, y = swatch / 16 * kSwatchSize + corner;
                const uint8_t* p = &got.m_value.m_rgba[(y * 256 + x) * 4];
                for (int c = 0; c < 3; ++c) {
                    const uint8_t v = uint8_t(raw[swatch * 3 + c]);
                    EXPECT_EQ(p[c], isSix ? uint8_t((v * 255 + 31) / 63) : v);
                }
            }
    }
    EXPECT_EQ(decodePalette(span(eight.substr(1))).m_error, kMediaNotPalette);
}

std::string bytesOf(int count, int step) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += char(i * step);
    return s;
}

void expectSound(const MediaResult<Sound>& got, uint32_t rate, uint16_t channels, uint16_t bits,
                 const std::string& samples) {
    ASSERT_EQ(got.m_error, "");
    EXPECT_EQ(got.m_value.m_rate, rate);
    EXPECT_EQ(got.m_value.m_channels, channels);
    EXPECT_EQ(got.m_value.m_bitsPerSample, bits);
    EXPECT_EQ(std::string(got.m_value.m_samples.begin(), got.m_value.m_samples.end()), samples);
    EXPECT_EQ(got.m_value.frameCount(), samples.size() / (channels * bits / 8));
}

TEST(MediaSounds, WavPcmEveryLayoutAndImaAdpcm) {
    const std::string data = bytesOf(400, 13);
    for (uint16_t channels : {1, 2})
        for (uint16_t bits : {8, 16}) {
            const uint16_t align = uint16_t(channels * bits / 8);
            expectSound(decodeWav(span(writeWavFile(1, channels, 22050, bits, align, data))), 22050, channels,
                        bits, data);
            // The extensible header with PCM as its sub-format.
            std::string extensible = writeWavFile(0xFFFE, channels, 8000, bits, align, data);
            extensible.replace(20, 2, le16(0xFFFE));
            const std::string sub = le16(22) + le16(bits) + le32(3) + le16(1) + std::string(14, 'x');
            extensible.insert(36, sub);
            extensible.replace(16, 4, le32(16 + uint32_t(sub.size())));
            expectSound(decodeWav(span(extensible)), 8000, channels, bits, data);
        }
    // IMA ADPCM: a first sample of 100 at step 0, then eight codes, worked out by hand from the step table.
    const std::string ima = le16(100) + std::string{0, 0} + "\x44\xC0\xF7\x83";
    std::string want;
    for (int v : {100, 107, 117, 118, 107, 129, 83, 129, 123})
        want += le16(unsigned(v));
    expectSound(decodeWav(span(writeWavFile(0x11, 1, 11025, 4, 8, ima + ima.substr(0, 6)))), 11025, 1, 16,
                want + want.substr(0, 2)); // a short second block: its first sample, no group
}

TEST(MediaSounds, VocBlocksSilenceAndRepeats) {
    const std::string a = bytesOf(30, 5), b = bytesOf(11, 9);
    // Divisor 156: 10 kHz. Silence is the unsigned mid-point; the repeat plays its part three times in all.
    const std::string voc =
        VocWriter().sound(156, a).more(b).silence(5, 156).repeat(2).more(b).repeatEnd().end();
    expectSound(decodeVoc(span(voc)), 10000, 1, 8, a + b + std::string(5, '\x80') + b + b + b);
    expectSound(decodeVoc(span(VocWriter().newSound(44100, 16, 2, a + "xy").end())), 44100, 2, 16, a + "xy");
    // Endless repeats play once; an extended block sets stereo for the block after it.
    const std::string stereo =
        VocWriter().block(8, le16(65536 - 256000000 / (2 * 8000)) + std::string{0, 1}).sound(0, a).end();
    expectSound(decodeVoc(span(stereo)), 8000, 2, 8, a);
    expectSound(decodeVoc(span(VocWriter().repeat(0xFFFF).sound(156, b).repeatEnd().end())), 10000, 1, 8, b);
    expectSound(decodeRawPcm(span(a), 8000), 8000, 1, 8, a);
}

TEST(MediaMidi, TracksTempoAndLength) {
    // Track 1: a name and 150 BPM at once, 60 BPM after two quarter notes (at 96 ticks each). Track 2:
    // notes with running status, ending at tick 480, 2 quarters at 150 plus 3 at 60 = 0.8 + 3 = 3.8 s.
    const std::string conductor =
        std::string("\x00\xFF\x03\x04Lead", 8) + std::string("\x00\xFF\x51\x03\x06\x1A\x80", 7) +
        std::string("\x81\x40\xFF\x51\x03\x0F\x42\x40", 8) + std::string("\x00\xFF\x2F\x00", 4);
    const std::string notes =
        std::string("\x00\x90\x3C\x40\x83\x60\x3C\x00\x00\x3E\x40", 11) + std::string("\x00\xFF\x2F\x00", 4);
    const auto got = summarizeMidi(span(writeMidi(1, 96, {conductor, notes})));
    ASSERT_EQ(got.m_error, "");
    const std::string want = std::string(kMidiHeading) + "1\n" + kMidiTracks + "2\n" + kMidiDivision +
                             "96\n" + kMidiTempo + "150.0 BPM (2" + kMidiTempoChanges + ")\n" + kMidiLength +
                             "0:04\n" + kMidiTrack + "1: 4" + kMidiEvents + ", \"Lead\"\n" + kMidiTrack +
                             "2: 4" + kMidiEvents + "\n";
    EXPECT_EQ(got.m_value, want);
    // Cut inside the second track: what was read, and the track marked.
    const std::string cut = writeMidi(1, 96, {conductor, notes}).substr(0, 14 + 8 + conductor.size() + 8 + 5);
    EXPECT_NE(summarizeMidi(span(cut)).m_value.find(std::string("2: 1") + kMidiEvents + kMidiTrackCut),
              std::string::npos);
}

TEST(MediaRecognizer, ContentFirstThenExtension) {
    const auto image = IndexedImage::make(4, 4, 16);
    EXPECT_EQ(recognizeMedia(span(writePcx(image, 4, 1, true)), "PICTURE.DAT"), MediaKind::Pcx);
    EXPECT_EQ(recognizeMedia(span(writeIlbm(image, 4, true, true)), "X.PCX"), MediaKind::Ilbm);
    EXPECT_EQ(recognizeMedia(span(VocWriter().end()), "X.WAV"), MediaKind::Voc);
    EXPECT_EQ(recognizeMedia(span(writeWavFile(1, 1, 8000, 8, 1, "a")), "X"), MediaKind::Wav);
    EXPECT_EQ(recognizeMedia(span(writeMidi(0, 96, {})), "X"), MediaKind::Midi);
    const std::string tga =
        writeTgaMapped(image, false, false) + std::string(8, '\0') + "TRUEVISION-XFILE." + '\0';
    EXPECT_EQ(recognizeMedia(span(tga), "X"), MediaKind::Tga);
    EXPECT_EQ(recognizeMedia(span(tga), "X", false), MediaKind::Unknown); // the footer was not read
    EXPECT_EQ(recognizeMedia(span(std::string(10, 'z')), "TITLE.Tga"), MediaKind::Tga);
    EXPECT_EQ(recognizeMedia(span(std::string(768, '\0')), "GAME.PAL"), MediaKind::Palette);
    EXPECT_EQ(recognizeMedia(span(std::string(768, '\0')), "SOUND.RAW"), MediaKind::Unknown);
}

TEST(MediaEncoders, PngAndWavReadBack) {
    const Picture picture = makeTrueColour(kW, kH, true);
    const std::string png = encodePng(picture);
    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(png.substr(12, 4) + png.substr(16, 8), "IHDR" + be32(kW) + be32(kH));
    // The IDAT chunk inflates to filter byte 0 and the row, for every row; each chunk's CRC holds.
    const uint32_t idatSize =
        uint32_t(asBytes(png.substr(33, 4))[0]) << 24 | uint32_t(uint8_t(png[35])) << 8 | uint8_t(png[36]);
    ASSERT_EQ(png.substr(37, 4), "IDAT");
    std::string raw((kW * 4 + 1) * kH, '\0');
    uLongf rawSize = uLongf(raw.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                         reinterpret_cast<const Bytef*>(png.data() + 41), idatSize),
              Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (uint32_t y = 0; y < kH; ++y) {
        EXPECT_EQ(raw[y * (kW * 4 + 1)], '\0');
        EXPECT_EQ(0, memcmp(&raw[y * (kW * 4 + 1) + 1], &picture.m_rgba[y * kW * 4], kW * 4));
    }
    const auto crc = [&](size_t at, size_t size) {
        return be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(png.data() + at), uInt(size))));
    };
    EXPECT_EQ(png.substr(29, 4), crc(12, 17));
    EXPECT_EQ(png.substr(41 + idatSize, 4), crc(37, idatSize + 4));
    EXPECT_EQ(png.substr(png.size() - 12), be32(0) + "IEND" + crc(png.size() - 8, 4));
    EXPECT_EQ(encodePng(Picture{}), "");

    for (uint16_t bits : {8, 16}) {
        const std::string data = bytesOf(int(bits) * 3, 3);
        const auto sound = decodeWav(span(writeWavFile(1, 2, 12345, bits, uint16_t(bits / 4), data)));
        ASSERT_EQ(sound.m_error, "");
        expectSound(decodeWav(span(encodeWav(sound.m_value))), 12345, 2, bits, data);
    }
}

// A hostile file per case: the text the decoder must give (empty: decoded, within the file).
struct Hostile {
    const char* m_name;
    std::string m_bytes;
    const char* m_error;
};

std::string patched(std::string s, size_t at, const std::string& with) {
    return s.replace(at, with.size(), with);
}

void expectHostile(const std::vector<Hostile>& cases, auto decode) {
    MediaBudget budget;
    budget.m_maxPixels = 100000;
    budget.m_maxBytes = 1 << 20;
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.m_name);
        EXPECT_EQ(decode(span(c.m_bytes), budget).m_error, c.m_error);
    }
}

TEST(MediaHostile, Pictures) {
    const auto image = IndexedImage::make(kW, kH, 256);
    const std::string pcx = writePcx(image, 8, 1, true), tga = writeTgaMapped(image, true, false);
    const std::string ilbm = writeIlbm(image, 8, true, false);
    const std::string runPastEnd = patched(pcx, 128, "\xFF\x01"); // 63 bytes where a line holds 18
    expectHostile({{"header only", pcx.substr(0, 100), kMediaTruncated},
                   {"pixels cut", pcx.substr(0, 200) + pcx.substr(pcx.size() - 769), kMediaTruncated},
                   {"palette short", pcx.substr(0, pcx.size() - 10), kMediaNoPalette},
                   {"huge", patched(pcx, 8, le16(60000) + le16(60000)),
                    "This picture is too large to preview: 60001 x 60001 pixels."},
                   {"xMax before xMin", patched(pcx, 4, le16(20)), kMediaDamaged},
                   {"line shorter than width", patched(pcx, 66, le16(2)), kMediaDamaged},
                   {"2 planes", patched(pcx, 65, "\x02"), kMediaUnsupported},
                   {"run past the end", runPastEnd, ""}},
                  decodePcx);
    expectHostile({{"header cut", tga.substr(0, 10), kMediaTruncated},
                   {"map cut", tga.substr(0, 30), kMediaTruncated},
                   {"pixels cut", tga.substr(0, tga.size() - 3), kMediaTruncated},
                   {"zero width", patched(tga, 12, le16(0)), kMediaDamaged},
                   {"huge", patched(tga, 12, le16(65535) + le16(65535)),
                    "This picture is too large to preview: 65535 x 65535 pixels."},
                   {"map short of the indexes", patched(tga, 5, le16(3)), ""},
                   {"run of 128 past the end", tga.substr(0, 18 + 3 + 600) + std::string(200, '\xFF'), ""},
                   {"image type 5", patched(tga, 2, "\x05"), kMediaDamaged}},
                  decodeTga);
    const size_t body = ilbm.find("BODY");
    expectHostile(
        {{"no body", ilbm.substr(0, body), kMediaTruncated},
         {"body cut", ilbm.substr(0, body + 40), kMediaTruncated},
         {"form larger than the file", patched(ilbm, 4, be32(0xFFFFFFF0)), ""},
         {"chunk larger than the file", patched(ilbm, body + 4, be32(0x7FFFFFFF)), ""},
         {"zero-length chunk",
          patched(ilbm.substr(0, 12) + "CMAP" + be32(0) + ilbm.substr(12), 4, be32(uint32_t(ilbm.size()))),
          ""},
         {"short colour map", writeIlbm(IndexedImage::make(kW, kH, 4), 8, true, false), ""},
         {"huge", patched(ilbm, 20, be16(65535) + be16(65535)),
          "This picture is too large to preview: 65535 x 65535 pixels."},
         {"9 planes", patched(ilbm, 28, "\x09"), kMediaUnsupported},
         {"byte runs past the end", patched(ilbm, body + 8, std::string(40, '\x81')), ""}},
        decodeIlbm);
}

TEST(MediaHostile, Sounds) {
    const std::string data = bytesOf(100, 7);
    const std::string wav = writeWavFile(1, 2, 8000, 16, 4, data);
    expectHostile(
        {{"data larger than the file", writeWavFile(1, 2, 8000, 16, 4, data, 0x7FFFFFFF), ""},
         {"no data chunk", wav.substr(0, 36), kMediaTruncated},
         {"fmt cut", wav.substr(0, 24), kMediaTruncated},
         {"zero rate", writeWavFile(1, 1, 0, 8, 1, data), kMediaDamaged},
         {"five channels", writeWavFile(1, 5, 8000, 8, 5, data), kMediaUnsupported},
         {"12 bits", writeWavFile(1, 1, 8000, 12, 2, data), kMediaUnsupported},
         {"IMA block smaller than its header", writeWavFile(0x11, 2, 8000, 4, 4, data), kMediaDamaged},
         {"IMA step index past the table", writeWavFile(0x11, 1, 8000, 4, 8, std::string(8, '\x7F')), ""},
         {"over budget", writeWavFile(1, 1, 8000, 8, 1, std::string(2 << 20, 'a')), kMediaSoundTooLong}},
        decodeWav);
    const std::string a = bytesOf(40, 3);
    expectHostile(
        {{"header only", VocWriter().end(), kMediaTruncated},
         {"header cut", VocWriter().end().substr(0, 21), kMediaTruncated},
         {"header size past the end", patched(VocWriter().end(), 20, le16(9000)), kMediaDamaged},
         {"block larger than the file", VocWriter().sound(156, a).unterminated().substr(0, 40), ""},
         {"zero-length blocks", VocWriter().block(1, "").end(), kMediaTruncated},
         {"continuation first", VocWriter().more(a).end(), kMediaDamaged},
         {"ADPCM", VocWriter().block(1, std::string{0, 1} + a).end(), kMediaUnsupported},
         {"stereo after mono", VocWriter().sound(0, a).newSound(8000, 8, 2, a).end(), kMediaUnsupported},
         {"repeats of nothing", VocWriter().sound(0, "").repeat(65534).more("").repeatEnd().end(), ""},
         {"repeats past the budget",
          VocWriter().repeat(65534).sound(0, std::string(1000, 'a')).repeatEnd().end(), kMediaSoundTooLong},
         {"silence past the budget",
          VocWriter().silence(65535, 0).repeat(30).silence(65535, 0).repeatEnd().end(), kMediaSoundTooLong}},
        decodeVoc);
}

// Valid samples with about 2% of their bytes changed, 300 runs each, through the fuzzers' checks (the
// sanitizer build also catches any read outside).
TEST(MediaHostile, RandomCorruption) {
    MediaBudget budget;
    budget.m_maxPixels = 1 << 16;
    budget.m_maxBytes = 1 << 20;
    const std::vector<MediaSample> samples = mediaSamples();
    for (size_t n = 0; n < samples.size(); ++n)
        for (unsigned run = 0; run < 300; ++run) {
            std::mt19937 rng(run * 131 + unsigned(n));
            std::string bytes = samples[n].m_bytes;
            for (size_t i = 0; i < bytes.size() / 50 + 1; ++i)
                bytes[rng() % bytes.size()] = char(rng());
            ASSERT_EQ(checkDecoded(samples[n].m_kind, span(bytes), budget), "") << n << " " << run;
        }
}

TEST(MediaEntry, ReadsAWholeEntryOrRefusesOnePastTheCap) {
    const std::string pcx = writePcx(IndexedImage::make(kW, kH, 256), 8, 1, true);
    Opened opened(buildArchive({fileNode("TITLE.PCX", pcx)}));
    ASSERT_EQ(opened.pack().entries().size(), 1u);
    const PackEntry& entry = opened.pack().entries()[0];
    MediaBudget budget;
    budget.m_maxBytes = pcx.size();
    const auto read = readMediaEntry(opened.pack(), entry, budget);
    ASSERT_EQ(read.m_error, "");
    EXPECT_EQ(
        decodePicture(recognizeMedia(asBytes(read.m_value), "TITLE.PCX"), asBytes(read.m_value)).m_error, "");
    budget.m_maxBytes = pcx.size() - 1; // the palette at the end would be missing
    EXPECT_EQ(readMediaEntry(EntrySource(opened.pack(), entry), budget).m_error, kMediaFileTooLarge);
}

} // namespace

} // namespace vorpex
