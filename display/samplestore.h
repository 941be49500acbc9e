#pragma once

#include <array>
#include <cstdint>

// The table of accepted frames of a reception: 15001 slots of 16 bytes, slot 0 never filled.
//
// Slot layout: bytes 0-8 the nine data bytes of the frame (channels 8 down to 1, then the
// battery byte), bytes 9-11 zero once a frame is stored, bytes 12-15 the slot time as a signed
// 32-bit little-endian integer (elapsed seconds in BALLON, elapsed milliseconds in FUSEE).
//
// A reception may accept far more than 15000 frames (about 7.4 h of balloon flight). Rather than
// stop storing, or index past the end, the slots are reused as a ring: frame n (counted from 1
// since the reception started) goes to slot ((n - 1) mod 15000) + 1, so the first 15000 frames
// land exactly where a plain table would put them and later ones overwrite the oldest. The only
// reader, the one-minute link statistic, looks at the last few dozen frames, which a ring always
// keeps; it should use countLastFrames(), which follows the ring across the wrap. The plain
// slot-range count, countSlots(), is kept for callers that think in slot indices; it never reads
// outside the table but knows nothing of the wrap.
//
// GUI thread only.
class SampleStore
{
public:
    static constexpr int SlotCount = 15001;
    static constexpr int SlotSize = 16;
    static constexpr int RingSize = SlotCount - 1; // slots 1..15000 hold frames
    static constexpr std::int32_t EmptySlotTime = 14500000;
    static constexpr int DataBytes = 9;

    // Fills every slot as at program start (see fillEmpty()).
    SampleStore();

    // Bytes 0-10 = 0xFF, byte 11 = 0, time = EmptySlotTime, in every slot.
    void fillEmpty();

    // The slot that frame number frameNumber (1, 2, 3 ... since reception start) is stored in.
    // Frame numbers below 1 have no slot and give 0.
    static int slotForFrame(std::int64_t frameNumber);

    // Stores the nine data bytes and the slot time of accepted frame frameNumber (>= 1; the
    // decoder's AcceptedFrameCount after it has been incremented). Frame numbers below 1 are
    // ignored.
    void store(std::int64_t frameNumber, const std::uint8_t *data9, std::int32_t time);

    // How many of the frames lastFrame, lastFrame - 1, ... down to lastFrame - k + 1 (never
    // below frame 1, never more than the ring holds) have a slot time strictly greater than
    // limit. For the one-minute statistic, which looks at frames AcceptedFrameCount - 33 up to
    // AcceptedFrameCount (raised to 1), pass lastFrame = AcceptedFrameCount and k = 34: this
    // gives the same answer as the slot-range count for the first 15000 frames and stays
    // right after the ring has wrapped.
    int countLastFrames(std::int64_t lastFrame, int k, std::int32_t limit) const;

    // The number of slots with index from last down to first whose time is strictly greater
    // than limit; zero when first > last. Indices are clipped to the table.
    int countSlots(int first, int last, std::int32_t limit) const;

    // Read access for tests and diagnostics.
    std::int32_t slotTime(int slot) const;
    const std::uint8_t *slotBytes(int slot) const;

private:
    std::array<std::uint8_t, SlotCount * SlotSize> m_bytes;
};
