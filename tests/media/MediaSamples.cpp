#include "tests/media/MediaSamples.h"

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
        image.palette.push_back({uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11 + 5)});
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image.indexes.push_back(uint8_t((x < width / 2 ? y : x * 7 + y * 3) % colours));
    return image;
}

std::vector<uint8_t> IndexedImage::rgba() const {
    std::vector<uint8_t> out;
    for (uint8_t i : indexes)
        out.insert(out.end(), {palette[i][0], palette[i][1], palette[i][2], 255});
    return out;
}

Picture makeTrueColour(uint32_t width, uint32_t height, bool alpha) {
    Picture p;
    p.width = width;
    p.height = height;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const bool flat = x < width / 3;
            p.rgba.insert(p.rgba.end(), {uint8_t(flat ? 200 : x * 13), uint8_t(flat ? 10 : y * 29),
                                         uint8_t(x ^ y), uint8_t(alpha ? x * 40 + y : 255)});
        }
    return p;
}

std::string packPcx(const std::vector<uint8_t>& data) {
    std::string out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && data[i + run] == data[i] && run < 63)
            ++run;
        if (run > 1 || data[i] >= 0xC0)
            out += char(0xC0 | run);
        out += char(data[i]);
        i += run;
    }
    return out;
}

std::string packByteRun1(const std::vector<uint8_t>& data) {
    std::string out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && data[i + run] == data[i] && run < 128)
            ++run;
        if (run > 1) {
            out += char(1 - int(run));
            out += char(data[i]);
            i += run;
            continue;
        }
        size_t literal = 1;
        while (i + literal < data.size() && literal < 128 &&
               (i + literal + 1 >= data.size() || data[i + literal + 1] != data[i + literal]))
            ++literal;
        out += char(literal - 1);
        out.append(reinterpret_cast<const char*>(&data[i]), literal);
        i += literal;
    }
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
    const size_t lineBytes = ((image.width * bits + 15) / 16) * 2; // even, as the format asks
    std::vector<uint8_t> lines;
    for (uint32_t y = 0; y < image.height; ++y) {
        std::vector<uint8_t> line(lineBytes * planes, 0);
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t index = image.indexes[y * image.width + x];
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
    std::string file = pcxHeader(image.width, image.height, bits, planes, lineBytes, rle, image.palette);
    file += pcxBody(lines, rle);
    if (bits == 8) {
        file += '\x0C';
        for (size_t i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                file += char(i < image.palette.size() ? image.palette[i][c] : 0);
    }
    return file;
}

std::string writePcx24(const Picture& picture, bool rle) {
    const size_t lineBytes = (picture.width + 1) & ~1u;
    std::vector<uint8_t> lines;
    for (uint32_t y = 0; y < picture.height; ++y)
        for (int c = 0; c < 3; ++c)
            for (size_t x = 0; x < lineBytes; ++x)
                lines.push_back(x < picture.width ? picture.rgba[(y * picture.width + x) * 4 + c] : 0);
    return pcxHeader(picture.width, picture.height, 8, 3, lineBytes, rle, {}) + pcxBody(lines, rle);
}

namespace {

std::string tgaHeader(unsigned type, unsigned mapLength, uint32_t width, uint32_t height, unsigned bits,
                      unsigned descriptor) {
    std::string h = {3, char(mapLength ? 1 : 0), char(type)};
    h += le16(0) + le16(mapLength) + char(mapLength ? 24 : 0);
    h += le16(0) + le16(0) + le16(width) + le16(height) + char(bits) + char(descriptor);
    return h + "abc"; // the image id
}

// Pixels as stored (each `size` bytes), rows in file order, packed as TGA's RLE or left as they are.
std::string tgaPixels(const std::vector<std::string>& pixels, bool rle) {
    std::string out;
    for (size_t i = 0; i < pixels.size();) {
        size_t run = 1;
        while (rle && i + run < pixels.size() && pixels[i + run] == pixels[i] && run < 128)
            ++run;
        if (rle && run > 1) {
            out += char(0x80 | (run - 1));
            out += pixels[i];
        } else {
            run = 1;
            while (rle && i + run < pixels.size() && run < 128 && pixels[i + run] != pixels[i + run - 1])
                ++run;
            if (rle)
                out += char(run - 1);
            for (size_t k = 0; k < run; ++k)
                out += pixels[i + k];
        }
        i += run;
    }
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
    std::string file = tgaHeader(rle ? 9 : 1, unsigned(image.palette.size()), image.width, image.height, 8,
                                 topDown ? 0x20 : 0);
    for (const Rgb& c : image.palette)
        file += {char(c[2]), char(c[1]), char(c[0])};
    const auto rows = tgaRows(image.width, image.height, topDown,
                              [&](size_t i) { return std::string(1, char(image.indexes[i])); });
    return file + tgaPixels(rows, rle);
}

std::string writeTgaTrue(const Picture& picture, unsigned bits, bool rle, bool topDown) {
    std::string file = tgaHeader(rle ? 10 : 2, 0, picture.width, picture.height, bits,
                                 (topDown ? 0x20 : 0) | (bits == 32   ? 8
                                                         : bits == 16 ? 1
                                                                      : 0));
    const auto rows = tgaRows(picture.width, picture.height, topDown, [&](size_t i) {
        const uint8_t* p = &picture.rgba[i * 4];
        if (bits == 16)
            return le16((p[3] >= 128 ? 0x8000u : 0) | (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3));
        std::string s = {char(p[2]), char(p[1]), char(p[0])};
        return bits == 32 ? s + char(p[3]) : s;
    });
    return file + tgaPixels(rows, rle);
}

std::string writeIlbm(const IndexedImage& image, unsigned planes, bool byteRun, bool pbm) {
    std::string header = be16(image.width) + be16(image.height) + be16(0) + be16(0);
    header += {char(planes), 0, char(byteRun), 0};
    header += be16(0) + std::string{1, 1} + be16(image.width) + be16(image.height);
    std::string cmap;
    for (const Rgb& c : image.palette)
        cmap += {char(c[0]), char(c[1]), char(c[2])};
    const size_t planeRow = pbm ? (image.width + 1) & ~1u : ((image.width + 15) / 16) * 2;
    std::string body;
    for (uint32_t y = 0; y < image.height; ++y) {
        std::vector<uint8_t> row(planeRow * (pbm ? 1 : planes), 0);
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t index = image.indexes[y * image.width + x];
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
