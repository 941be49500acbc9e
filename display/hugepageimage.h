#pragma once

#include <QImage>

// A large image kept in as few memory pages as the system allows. Every page the process keeps
// resident makes each of its wake-ups dearer on some virtual machines (about 30 ns per 4 KiB
// page each time a sleeping thread wakes, measured on ours), and the strip chart's surface,
// filled from end to end, was half of the program's resident memory. On Linux the pixels live
// in a mapping of their own that the kernel may back with huge pages; elsewhere, or when no
// mapping can be had, this is a plain QImage. Either way the result is an ordinary QImage: it
// detaches into ordinary memory like any other when a shared copy is written to.
class HugePageImage
{
public:
    // Null if the memory cannot be had, as QImage(width, height, format) would be.
    static QImage create(int width, int height, QImage::Format format);
};
