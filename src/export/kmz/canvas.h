#pragma once
// Off-screen drawing for the KMZ bitmaps. Text drawn into a QImage needs a
// QGuiApplication for Qt's font system. The desktop program has one before
// any conversion starts; the command-line program and the tests have none, so
// the first drawing creates one on the "offscreen" platform.
//
// Threads: the conversion draws on its worker thread. Qt 6 allows QPainter and
// QFont on a QImage off the main thread as long as the application object
// exists. The lazy creation runs exactly once (std::call_once), so concurrent
// first callers wait for it; the object then lives until the process ends and
// is never destroyed by this module. A process that made a plain
// QCoreApplication cannot get fonts: drawing text then fails cleanly.
#include <QFont>

// True when a QGuiApplication exists (creating it when the process has no Qt
// application yet) and the fonts are loaded.
bool KmzCanvas_EnsureGui();

// The legend font: Liberation Sans, metric-compatible with Arial, loaded from
// its file so that the pictures do not depend on the machine's font
// configuration; the default sans-serif when the file is missing.
// KmzCanvas_EnsureGui must have succeeded.
QFont KmzCanvas_Font(int pixelHeight, bool bold = false);
