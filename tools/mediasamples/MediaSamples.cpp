#include "tools/mediasamples/MediaSamples.h"

#include "media/MediaDecoders.h"
#include "media/MediaEncoders.h"

#include <tuple>

namespace vorpex {

std::string le16(unsigned v) {
    return {char(v), char(v >> 8)};
}
std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}
std::string be16(unsigned v) {
    return {char(v >> 8), char(v)};
}
std::string be32(uint32_t v) {
    return be16(v >> 16) + be16(v & 0xFFFF);
}

IndexedImage IndexedImage::make(uint32_t width, uint32_t height, unsigned colours) {
    IndexedImage image{width, height, {}, {}};
    for (unsigned i = 0; i < colours; ++i)
        image.m_palette.push_back({uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11 + 5)});
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image.m_indexes.push_back(uint8_t((x < width / 2 ? y : x * 7 + y * 3) % colours));
    return image;
}

std::vector<uint8_t> IndexedImage::rgba() const {
    std::vector<uint8_t> out;
    for (uint8_t i : m_indexes)
        out.insert(out.end(), {m_palette[i][0], m_palette[i][1], m_palette[i][2], 255});
    return out;
}

Picture makeTrueColour(uint32_t width, uint32_t height, bool alpha) {
    Picture p;
    p.m_width = width;
    p.m_height = height;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const bool flat = x < width / 3;
            p.m_rgba.insert(p.m_rgba.end(), {uint8_t(flat ? 200 : x * 13), uint8_t(flat ? 10 : y * 29),
                                             uint8_t(x ^ y), uint8_t(alpha ? x * 40 + y : 255)});
        }
    return p;
}

namespace {

// Splits `items` into runs of equal items and literal spans between them, each at most `most` long, as
// every run-length coder here does: emit(first, count, repeated).
template <class T, class Emit> void forRuns(const std::vector<T>& items, size_t most, Emit emit) {
    for (size_t i = 0; i < items.size();) {
        size_t n = 1;
        while (i + n < items.size() && n < most && items[i + n] == items[i])
            ++n;
        if (n == 1) // a literal runs up to the next pair of equal items
            while (i + n < items.size() && n < most &&
                   !(i + n + 1 < items.size() && items[i + n + 1] == items[i + n]))
                ++n;
        emit(i, n, n > 1 && items[i + 1] == items[i]);
        i += n;
    }
}

} // namespace

std::string packPcx(const std::vector<uint8_t>& data) {
    std::string out;
    forRuns(data, 63, [&](size_t at, size_t count, bool repeated) {
        for (size_t i = at; i < at + (repeated ? 1 : count); ++i) {
            if (repeated || data[i] >= 0xC0)
                out += char(0xC0 | (repeated ? count : 1));
            out += char(data[i]);
        }
    });
    return out;
}

std::string packByteRun1(const std::vector<uint8_t>& data) {
    std::string out;
    forRuns(data, 128, [&](size_t at, size_t count, bool repeated) {
        out += char(repeated ? 1 - int(count) : int(count) - 1);
        out.append(reinterpret_cast<const char*>(&data[at]), repeated ? 1 : count);
    });
    return out;
}

namespace {

std::string pcxHeader(uint32_t width, uint32_t height, unsigned bits, unsigned planes, size_t lineBytes,
                      bool rle, const std::vector<Rgb>& colours16) {
    std::string h = {0x0A, 5, char(rle), char(bits)};
    h += le16(0) + le16(0) + le16(width - 1) + le16(height - 1) + le16(72) + le16(72);
    for (unsigned i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c)
            h += char(i < colours16.size() ? colours16[i][c] : 0);
    h += '\0';
    h += char(planes);
    h += le16(unsigned(lineBytes)) + le16(1);
    h.resize(128, '\0');
    return h;
}

std::string pcxBody(const std::vector<uint8_t>& lines, bool rle) {
    return rle ? packPcx(lines) : std::string(lines.begin(), lines.end());
}

} // namespace

std::string writePcx(const IndexedImage& image, unsigned bits, unsigned planes, bool rle) {
    const size_t lineBytes = ((image.m_width * bits + 15) / 16) * 2; // even, as the format asks
    std::vector<uint8_t> lines;
    for (uint32_t y = 0; y < image.m_height; ++y) {
        std::vector<uint8_t> line(lineBytes * planes, 0);
        for (uint32_t x = 0; x < image.m_width; ++x) {
            const uint8_t index = image.m_indexes[y * image.m_width + x];
            if (bits == 8)
                line[x] = index;
            else if (bits == 4)
                line[x / 2] |= uint8_t(index << (x % 2 ? 0 : 4));
            else
                for (unsigned p = 0; p < planes; ++p)
                    line[p * lineBytes + x / 8] |= uint8_t(((index >> p) & 1) << (7 - x % 8));
        }
        lines.insert(lines.end(), line.begin(), line.end());
    }
    std::string file =
        pcxHeader(image.m_width, image.m_height, bits, planes, lineBytes, rle, image.m_palette);
    file += pcxBody(lines, rle);
    if (bits == 8) {
        file += '\x0C';
        for (size_t i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                file += char(i < image.m_palette.size() ? image.m_palette[i][c] : 0);
    }
    return file;
}

std::string writePcx24(const Picture& picture, bool rle) {
    const size_t lineBytes = (picture.m_width + 1) & ~1u;
    std::vector<uint8_t> lines;
    for (uint32_t y = 0; y < picture.m_height; ++y)
        for (int c = 0; c < 3; ++c)
            for (size_t x = 0; x < lineBytes; ++x)
                lines.push_back(x < picture.m_width ? picture.m_rgba[(y * picture.m_width + x) * 4 + c] : 0);
    return pcxHeader(picture.m_width, picture.m_height, 8, 3, lineBytes, rle, {}) + pcxBody(lines, rle);
}

namespace {

std::string tgaHeader(unsigned type, unsigned mapLength, uint32_t width, uint32_t height, unsigned bits,
                      unsigned descriptor) {
    std::string h = {3, char(mapLength ? 1 : 0), char(type)};
    h += le16(0) + le16(mapLength) + char(mapLength ? 24 : 0);
    h += le16(0) + le16(0) + le16(width) + le16(height) + char(bits) + char(descriptor);
    return h + "abc"; // the image id
}

// Pixels as stored, rows in file order, packed as TGA's RLE or left as they are.
std::string tgaPixels(const std::vector<std::string>& pixels, bool rle) {
    std::string out;
    forRuns(pixels, rle ? 128 : 1, [&](size_t at, size_t count, bool repeated) {
        if (rle)
            out += char((repeated ? 0x80 : 0) | (count - 1));
        for (size_t i = at; i < at + (repeated ? 1 : count); ++i)
            out += pixels[i];
    });
    return out;
}

template <class Pixel>
std::vector<std::string> tgaRows(uint32_t width, uint32_t height, bool topDown, Pixel pixel) {
    std::vector<std::string> out;
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t x = 0; x < width; ++x)
            out.push_back(pixel((topDown ? row : height - 1 - row) * width + x));
    return out;
}

} // namespace

std::string writeTgaMapped(const IndexedImage& image, bool rle, bool topDown) {
    std::string file = tgaHeader(rle ? 9 : 1, unsigned(image.m_palette.size()), image.m_width, image.m_height,
                                 8, topDown ? 0x20 : 0);
    for (const Rgb& c : image.m_palette)
        file += {char(c[2]), char(c[1]), char(c[0])};
    const auto rows = tgaRows(image.m_width, image.m_height, topDown,
                              [&](size_t i) { return std::string(1, char(image.m_indexes[i])); });
    return file + tgaPixels(rows, rle);
}

std::string writeTgaTrue(const Picture& picture, unsigned bits, bool rle, bool topDown) {
    std::string file = tgaHeader(rle ? 10 : 2, 0, picture.m_width, picture.m_height, bits,
                                 (topDown ? 0x20 : 0) | (bits == 32   ? 8
                                                         : bits == 16 ? 1
                                                                      : 0));
    const auto rows = tgaRows(picture.m_width, picture.m_height, topDown, [&](size_t i) {
        const uint8_t* p = &picture.m_rgba[i * 4];
        if (bits == 16)
            return le16((p[3] >= 128 ? 0x8000u : 0) | (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3));
        std::string s = {char(p[2]), char(p[1]), char(p[0])};
        return bits == 32 ? s + char(p[3]) : s;
    });
    return file + tgaPixels(rows, rle);
}

std::string writeIlbm(const IndexedImage& image, unsigned planes, bool byteRun, bool pbm) {
    std::string header = be16(image.m_width) + be16(image.m_height) + be16(0) + be16(0);
    header += {char(planes), 0, char(byteRun), 0};
    header += be16(0) + std::string{1, 1} + be16(image.m_width) + be16(image.m_height);
    std::string cmap;
    for (const Rgb& c : image.m_palette)
        cmap += {char(c[0]), char(c[1]), char(c[2])};
    const size_t planeRow = pbm ? (image.m_width + 1) & ~1u : ((image.m_width + 15) / 16) * 2;
    std::string body;
    for (uint32_t y = 0; y < image.m_height; ++y) {
        std::vector<uint8_t> row(planeRow * (pbm ? 1 : planes), 0);
        for (uint32_t x = 0; x < image.m_width; ++x) {
            const uint8_t index = image.m_indexes[y * image.m_width + x];
            if (pbm)
                row[x] = index;
            else
                for (unsigned p = 0; p < planes; ++p)
                    row[p * planeRow + x / 8] |= uint8_t(((index >> p) & 1) << (7 - x % 8));
        }
        body += byteRun ? packByteRun1(row) : std::string(row.begin(), row.end());
    }
    std::string form = pbm ? "PBM " : "ILBM";
    for (const auto& [id, data] :
         {std::pair<std::string, std::string>{"BMHD", header}, {"CMAP", cmap}, {"BODY", body}}) {
        form += id + be32(uint32_t(data.size())) + data;
        if (data.size() % 2)
            form += '\0';
    }
    return "FORM" + be32(uint32_t(form.size())) + form;
}

std::string writeWavFile(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
                         uint16_t blockAlign, const std::string& data, int64_t dataSize) {
    std::string fmt =
        le16(format) + le16(channels) + le32(rate) + le32(rate * blockAlign) + le16(blockAlign) + le16(bits);
    std::string body = "WAVEfmt " + le32(uint32_t(fmt.size())) + fmt + "LIST" + le32(3) + "abc" + '\0';
    body += "data" + le32(uint32_t(dataSize < 0 ? int64_t(data.size()) : dataSize)) + data;
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

VocWriter::VocWriter()
    : m_bytes(std::string("Creative Voice File\x1A", 20) + le16(26) + le16(0x010A) + le16(0x1129)) {}

VocWriter& VocWriter::block(uint8_t type, const std::string& body) {
    m_bytes += char(type);
    m_bytes += le32(uint32_t(body.size())).substr(0, 3);
    m_bytes += body;
    return *this;
}

VocWriter& VocWriter::sound(uint8_t divisor, const std::string& samples) {
    return block(1, std::string{char(divisor), 0} + samples);
}
VocWriter& VocWriter::more(const std::string& samples) {
    return block(2, samples);
}
VocWriter& VocWriter::silence(uint16_t frames, uint8_t divisor) {
    return block(3, le16(frames - 1u) + char(divisor));
}
VocWriter& VocWriter::newSound(uint32_t rate, uint8_t bits, uint8_t channels, const std::string& samples) {
    return block(9, le32(rate) + char(bits) + char(channels) + le16(bits == 16 ? 4 : 0) + le32(0) + samples);
}
VocWriter& VocWriter::repeat(uint16_t count) {
    return block(6, le16(count));
}
VocWriter& VocWriter::repeatEnd() {
    return block(7, {});
}

std::string writeMidi(uint16_t format, uint16_t division, const std::vector<std::string>& tracks) {
    std::string file = "MThd" + be32(6) + be16(format) + be16(unsigned(tracks.size())) + be16(division);
    for (const std::string& t : tracks)
        file += "MTrk" + be32(uint32_t(t.size())) + t;
    return file;
}

std::vector<MediaSample> mediaSamples() {
    const auto mono = IndexedImage::make(9, 5, 2), ega = IndexedImage::make(9, 5, 16),
               vga = IndexedImage::make(9, 5, 256);
    const Picture rgb = makeTrueColour(9, 5, true);
    std::vector<MediaSample> out;
    for (bool rle : {false, true}) {
        for (const auto& [image, bits, planes] :
             {std::tuple{&mono, 1, 1}, {&ega, 1, 4}, {&ega, 4, 1}, {&vga, 8, 1}})
            out.push_back({MediaKind::Pcx, writePcx(*image, bits, planes, rle)});
        out.push_back({MediaKind::Pcx, writePcx24(rgb, rle)});
        out.push_back({MediaKind::Tga, writeTgaMapped(vga, rle, rle)});
        for (unsigned bits : {16u, 24u, 32u})
            out.push_back({MediaKind::Tga, writeTgaTrue(rgb, bits, rle, !rle)});
        out.push_back({MediaKind::Ilbm, writeIlbm(ega, 4, rle, false)});
        out.push_back({MediaKind::Ilbm, writeIlbm(vga, 8, rle, true)});
    }
    std::string palette;
    for (int i = 0; i < 768; ++i)
        palette += char(i % 64);
    out.push_back({MediaKind::Palette, palette});
    const std::string samples = "\x80\x90\xA0\x90\x80\x70\x60\x70";
    out.push_back({MediaKind::Wav, writeWavFile(1, 1, 11025, 8, 1, samples)});
    out.push_back({MediaKind::Wav, writeWavFile(1, 2, 22050, 16, 4, samples)});
    out.push_back({MediaKind::Wav, writeWavFile(0x11, 2, 8000, 4, 16, samples + samples)});
    out.push_back({MediaKind::Voc, VocWriter()
                                       .sound(156, samples)
                                       .more(samples)
                                       .silence(4, 156)
                                       .repeat(2)
                                       .more(samples)
                                       .repeatEnd()
                                       .end()});
    out.push_back({MediaKind::Voc, VocWriter().newSound(8000, 16, 2, samples).end()});
    out.push_back(
        {MediaKind::Voc, VocWriter().block(8, le16(0xF000) + std::string{0, 1}).sound(0, samples).end()});
    const std::string end = std::string("\x00\xFF\x2F\x00", 4);
    const std::string conductor = std::string("\x00\xFF\x03\x01T\x00\xFF\x51\x03\x07\xA1\x20", 12) + end;
    const std::string notes =
        std::string("\x00\x90\x3C\x40\x60\x3C\x00\x00\xC0\x05\x00\xF0\x01\xF7", 14) + end;
    out.push_back({MediaKind::Midi, writeMidi(1, 96, {conductor, notes})});
    out.push_back({MediaKind::Midi, writeMidi(0, 0xE728, {notes})});
    return out;
}

std::string checkDecoded(MediaKind kind, ByteSpan bytes, const MediaBudget& budget) {
    if (kind == MediaKind::Midi) {
        const auto summary = summarizeMidi(bytes);
        return !summary.isOk() || summary.m_value.find('\n') != std::string::npos ? ""
                                                                                  : "an empty MIDI summary";
    }
    if (mediaCategory(kind) == MediaCategory::Sound) {
        const auto got = decodeSound(kind, bytes, budget);
        if (!got.isOk())
            return {};
        const Sound& s = got.m_value;
        if (s.m_rate == 0 || (s.m_channels != 1 && s.m_channels != 2) ||
            (s.m_bitsPerSample != 8 && s.m_bitsPerSample != 16))
            return "a sound in a layout the decoders do not give";
        if (s.m_samples.size() % s.frameSize() != 0 || s.m_samples.size() > budget.m_maxBytes)
            return "a sound with a part frame or past the budget";
        const auto again = decodeWav(asBytes(encodeWav(s)), budget);
        return again.isOk() && again.m_value.m_samples == s.m_samples
                   ? ""
                   : "a sound that does not survive the WAV writer";
    }
    const auto got = decodePicture(kind, bytes, budget);
    if (!got.isOk())
        return {};
    const Picture& p = got.m_value;
    if (p.m_width == 0 || p.m_height == 0 || uint64_t(p.m_width) * p.m_height > budget.m_maxPixels ||
        p.m_rgba.size() != size_t(p.m_width) * p.m_height * 4)
        return "a picture without pixels, past the budget, or whose pixels do not match its size";
    return p.m_rgba.size() > 64 * 1024 || !encodePng(p).empty() ? ""
                                                                : "a picture that cannot be written as PNG";
}

} // namespace vorpex
