#pragma once

#include <thread>

// Start-up work the window's first picture waits for, done on another core
// while the main thread is busy with something else. It changes nothing the
// program shows: the same work would otherwise run on the main thread later.
//  - The font configuration (Linux): the first text the window measures
//    loads it, after the toolkit has connected to the display. Loading it
//    here overlaps it with that connection; the window waits for it.
//  - The image readers: the widget style's first frame reads a picture, and
//    the toolkit then loads its image-format plugins to ask each whether it
//    can read it. Reading a small picture here loads them while the window is
//    being built.
class StartupWarmUp {
public:
    // Starts loading the font configuration; call before the application object.
    StartupWarmUp();
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

    // Waits for the font configuration. Call before the first text is
    // measured: the wait orders the two threads' use of the font library,
    // which shares its own state between them.
    void WaitForFonts();
    // Starts loading the image-format plugins; call once the application
    // object exists, since the plugin folders come from it.
    void LoadImageReaders();
    // Waits for both; the destructor does too.
    void Wait();

private:
    std::thread m_fonts;
    std::thread m_images;
};
