#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Test helpers around the component: a QApplication on the offscreen platform, and zbar as an
// independent decoder of what the component paints.

// Creates the application once (offscreen unless a platform is set).
void EnsureApplication();

// Every QR Code zbar finds in `image` (drawn over white first), as raw bytes.
QList<QByteArray> ScanSymbols(const QImage& image);
