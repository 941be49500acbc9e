#include "hugepageimage.h"

#include <cstddef>
#include <cstdint>
#include <limits>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

#ifdef __linux__
constexpr std::size_t HugePage = std::size_t(2) << 20;

struct Mapping
{
    void *address;
    std::size_t length;
};

void unmap(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    ::munmap(mapping->address, mapping->length);
    delete mapping;
}
#endif

} // namespace

QImage HugePageImage::create(int width, int height, QImage::Format format)
{
#ifdef __linux__
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (width > 0 && height > 0 && depth > 0 && depth % 8 == 0) {
        // Lines aligned as QImage aligns its own, on 32 bits.
        const std::int64_t bytesPerLine = (std::int64_t(width) * (depth / 8) + 3) / 4 * 4;
        const std::int64_t bytes = bytesPerLine * height;
        if (bytesPerLine <= std::numeric_limits<int>::max() && bytes >= std::int64_t(HugePage)) {
            const std::size_t length = (std::size_t(bytes) + HugePage - 1) / HugePage * HugePage;
            // One huge page more, so that the pixels can start on a huge page boundary.
            void *base = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (base != MAP_FAILED) {
                const auto start = (reinterpret_cast<std::uintptr_t>(base) + HugePage - 1)
                    & ~std::uintptr_t(HugePage - 1);
                auto *pixels = reinterpret_cast<uchar *>(start);
                const std::size_t head = start - reinterpret_cast<std::uintptr_t>(base);
                if (head > 0)
                    ::munmap(base, head);
                ::munmap(pixels + length, HugePage - head); // never empty: head < HugePage
                // Advice only: without huge pages the mapping still serves, page by page.
                ::madvise(pixels, length, MADV_HUGEPAGE);
                auto *mapping = new Mapping { pixels, length };
                QImage image(pixels, width, height, qsizetype(bytesPerLine), format, unmap,
                             mapping);
                if (!image.isNull())
                    return image;
                unmap(mapping); // a null image never calls its cleanup
            }
        }
    }
#endif
    return QImage(width, height, format);
}
