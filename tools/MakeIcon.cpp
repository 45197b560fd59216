// Draws the program's icon into the files the systems take it from:
//   varo-make-icon ICO PNG
// ICO: 16, 32 and 48 pixels as 32-bit images with an AND mask (every
// Windows reads them), 256 pixels as PNG (as Explorer's large icons are);
// PNG: 256 pixels, for the Linux desktop file. The same drawing is the
// window's icon.

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/window/Artwork.h"

namespace {

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A device-independent bitmap as icons hold it: the header with a doubled
// height, BGRA rows from the bottom up, then the AND mask (all shown).
std::string IconBitmap(const QImage& image) {
    const int side = image.width();
    std::string bitmap;
    Put32(bitmap, 40);
    Put32(bitmap, static_cast<std::uint32_t>(side));
    Put32(bitmap, static_cast<std::uint32_t>(side * 2));
    Put16(bitmap, 1);
    Put16(bitmap, 32);
    for (int i = 0; i < 6; ++i) {
        Put32(bitmap, 0);  // no compression, sizes and colours unused
    }
    for (int y = side - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < side; ++x) {
            Put32(bitmap, row[x]);  // ARGB32 in memory: B, G, R, A
        }
    }
    const int maskRow = ((side + 31) / 32) * 4;
    bitmap.append(static_cast<std::size_t>(maskRow * side), '\0');
    return bitmap;
}

std::string Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ICO PNG\n", argv[0]);
        return 2;
    }
    const std::vector<int> sides = {16, 32, 48, 256};
    std::vector<std::string> images;
    for (const int side : sides) {
        const QImage image = varo::ApplicationIconImage(side);
        images.push_back(side == 256 ? Png(image) : IconBitmap(image));
    }
    std::string ico;
    Put16(ico, 0);
    Put16(ico, 1);  // an icon
    Put16(ico, static_cast<unsigned>(sides.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
        ico += static_cast<char>(sides[i] == 256 ? 0 : sides[i]);  // 0 stands for 256
        ico += static_cast<char>(sides[i] == 256 ? 0 : sides[i]);
        ico += '\0';  // no palette
        ico += '\0';
        Put16(ico, 1);   // planes
        Put16(ico, 32);  // bits per pixel
        Put32(ico, static_cast<std::uint32_t>(images[i].size()));
        Put32(ico, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const std::string& image : images) {
        ico += image;
    }
    std::ofstream(argv[1], std::ios::binary | std::ios::trunc)
        .write(ico.data(), static_cast<std::streamsize>(ico.size()));
    const std::string png = Png(varo::ApplicationIconImage(256));
    std::ofstream(argv[2], std::ios::binary | std::ios::trunc)
        .write(png.data(), static_cast<std::streamsize>(png.size()));
    return 0;
}
