// `vorpex-cli extract --convert`: old pictures as PNG and VOC sounds as WAV under their new names, every
// other file as it is, and a file the decoders refuse extracted as it is and named.
#include <gtest/gtest.h>

#include "media/MediaEncoders.h"
#include "platform/MessageTexts.h"
#include "tools/mediasamples/MediaSamples.h"
#include "tests/support/CliRunner.h"

namespace vorpex {

using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

TEST(ConvertTest, PicturesBecomePngSoundsWavOthersStayAsTheyAre) {
    TempDir dir;
    const IndexedImage image = IndexedImage::make(21, 9, 16);
    const std::string pcx = writePcx(image, 4, 1, true),
                      tga = writeTgaMapped(IndexedImage::make(7, 5, 256), true, false),
                      lbm = writeIlbm(image, 4, true, false);
    const std::string samples = "\x80\x90\xA0\x90\x80\x70", wav = writeWavFile(1, 1, 8000, 8, 1, samples);
    const std::string cut = pcx.substr(0, 140);
    writeFileBytes(
        dir / "a.dir",
        buildArchive({folderNode("GFX", {fileNode("TITLE.PCX", pcx), fileNode("SKY.TGA", tga),
                                         fileNode("LOGO.LBM", lbm), fileNode("CUT.PCX", cut),
                                         fileNode("NOTE.TXT", "note")}),
                      folderNode("SND", {fileNode("DOOR.VOC", VocWriter().sound(131, samples).end()),
                                         fileNode("STEP.WAV", wav)})}));
    TempDir out;
    const CliRun r = runCli({"extract", "--convert", "-C", out.path(), dir / "a.dir"});
    EXPECT_EQ(r.m_status, 1);
    EXPECT_EQ(r.m_errLines, Lines{kNotConverted + "CUT.PCX: "s + kMediaTruncated});
    EXPECT_EQ(listTree(out.path()),
              (Lines{"GFX/", "GFX/CUT.PCX", "GFX/LOGO.png", "GFX/NOTE.TXT", "GFX/SKY.png", "GFX/TITLE.png",
                     "SND/", "SND/DOOR.wav", "SND/STEP.WAV"}));
    const auto png = [](const std::string& bytes, MediaKind kind) {
        return encodePng(decodePicture(kind, asBytes(bytes)).m_value);
    };
    EXPECT_EQ(readFileBytes(out / "GFX/TITLE.png"), png(pcx, MediaKind::Pcx));
    EXPECT_EQ(readFileBytes(out / "GFX/SKY.png"), png(tga, MediaKind::Tga));
    EXPECT_EQ(readFileBytes(out / "GFX/LOGO.png"), png(lbm, MediaKind::Ilbm));
    EXPECT_EQ(readFileBytes(out / "GFX/CUT.PCX"), cut);
    EXPECT_EQ(readFileBytes(out / "SND/STEP.WAV"), wav);
    const MediaResult<Sound> door = decodeWav(asBytes(readFileBytes(out / "SND/DOOR.wav")));
    ASSERT_TRUE(door.isOk());
    EXPECT_EQ(std::string(door.m_value.m_samples.begin(), door.m_value.m_samples.end()), samples);
    EXPECT_EQ(door.m_value.m_rate, 8000u); // 1,000,000 / (256 - 131)

    // What converts names the file it makes: no standard output.
    const CliRun toStdout = runCli({"extract", "--convert", "-O", dir / "a.dir"});
    EXPECT_EQ(toStdout.m_status, 2);
    EXPECT_TRUE(toStdout.m_out.empty());
}

} // namespace

} // namespace vorpex
