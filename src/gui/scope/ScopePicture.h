#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The page picture of the oscilloscope: a Windows bitmap file as the drive tools have always
// written it (24 bits per pixel for today's screens, 32 above that, rows bottom-up and padded to
// four bytes), and PNG.

// The bitmap file of a picture for a screen of bitsPerPixel (planes x bits per pixel).
QByteArray BitmapFile(const QImage& image, int bitsPerPixel);
// Writes ".bmp" or ".png" by the path's extension (other extensions write nothing) to a file
// beside the path that is renamed into place once written whole. false when nothing was written.
bool WritePagePicture(const QImage& image, const QString& path, int bitsPerPixel = 24);
