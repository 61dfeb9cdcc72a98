#include "ScopePicture.h"

#include <QBuffer>
#include <QSaveFile>

namespace {

void Put16(QByteArray& out, uint32_t v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void Put32(QByteArray& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

QByteArray BitmapFile(const QImage& source, int bitsPerPixel)
{
    // Screens of up to 24 bits give 24-bit pixels, deeper ones 32; palettes are of the past.
    const int bits = bitsPerPixel > 24 ? 32 : 24;
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const uint32_t width = uint32_t(image.width());
    const uint32_t height = uint32_t(image.height());
    const uint32_t stride = ((bits * width + 31) / 32) * 4;
    const uint32_t pixelBytes = stride * height;
    QByteArray out;
    out.reserve(int(54 + pixelBytes));
    out.append("BM", 2);
    Put32(out, pixelBytes + 54);
    Put32(out, 0); // two reserved words
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, uint32_t(bits));
    Put32(out, 0); // BI_RGB
    Put32(out, pixelBytes);
    for (int i = 0; i < 4; ++i)
        Put32(out, 0); // resolutions and colour counts
    for (int y = int(height) - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const int start = out.size();
        for (uint32_t x = 0; x < width; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
            if (bits == 32)
                out.append(char(0));
        }
        out.append(QByteArray(int(stride) - (out.size() - start), '\0'));
    }
    return out;
}

bool WritePagePicture(const QImage& image, const QString& path, int bitsPerPixel)
{
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.')) + 1);
    const bool bmp = extension == QLatin1String("bmp");
    if ((!bmp && extension != QLatin1String("png")) || image.isNull())
        return false;
    // QSaveFile writes beside the file and renames it into place on commit: an earlier picture
    // is replaced only by a whole new one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool written;
    if (bmp) {
        const QByteArray bytes = BitmapFile(image, bitsPerPixel);
        written = file.write(bytes) == bytes.size();
    } else {
        written = image.save(&file, "PNG");
    }
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
