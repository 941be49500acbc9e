#include "samplestore.h"

#include <algorithm>
#include <cstring>

namespace {

void putTime(std::uint8_t *slot, std::int32_t time)
{
    const auto u = static_cast<std::uint32_t>(time);
    slot[12] = static_cast<std::uint8_t>(u);
    slot[13] = static_cast<std::uint8_t>(u >> 8);
    slot[14] = static_cast<std::uint8_t>(u >> 16);
    slot[15] = static_cast<std::uint8_t>(u >> 24);
}

} // namespace

SampleStore::SampleStore()
{
    fillEmpty();
}

void SampleStore::fillEmpty()
{
    for (int i = 0; i < SlotCount; ++i) {
        std::uint8_t *slot = m_bytes.data() + i * SlotSize;
        std::memset(slot, 0xFF, 11);
        slot[11] = 0;
        putTime(slot, EmptySlotTime);
    }
}

int SampleStore::slotForFrame(std::int64_t frameNumber)
{
    if (frameNumber < 1)
        return 0;
    return static_cast<int>((frameNumber - 1) % RingSize) + 1;
}

void SampleStore::store(std::int64_t frameNumber, const std::uint8_t *data9, std::int32_t time)
{
    const int index = slotForFrame(frameNumber);
    if (index == 0)
        return;
    std::uint8_t *slot = m_bytes.data() + index * SlotSize;
    std::memcpy(slot, data9, DataBytes);
    slot[9] = slot[10] = slot[11] = 0;
    putTime(slot, time);
}

int SampleStore::countLastFrames(std::int64_t lastFrame, int k, std::int32_t limit) const
{
    if (lastFrame < 1 || k < 1)
        return 0;
    const std::int64_t frames = std::min<std::int64_t>({ k, lastFrame, RingSize });
    int count = 0;
    for (std::int64_t n = lastFrame; n > lastFrame - frames; --n) {
        if (slotTime(slotForFrame(n)) > limit)
            ++count;
    }
    return count;
}

int SampleStore::countSlots(int first, int last, std::int32_t limit) const
{
    first = std::max(first, 0);
    last = std::min(last, SlotCount - 1);
    int count = 0;
    for (int i = last; i >= first; --i) {
        if (slotTime(i) > limit)
            ++count;
    }
    return count;
}

std::int32_t SampleStore::slotTime(int slot) const
{
    const std::uint8_t *p = slotBytes(slot) + 12;
    const std::uint32_t u = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8)
        | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    return static_cast<std::int32_t>(u);
}

const std::uint8_t *SampleStore::slotBytes(int slot) const
{
    return m_bytes.data() + std::clamp(slot, 0, SlotCount - 1) * SlotSize;
}
