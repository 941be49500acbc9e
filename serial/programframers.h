#pragma once

class TComDataPacket;

// The settings of the program's four framers. Each one sets every framing property (stop string
// empty, strings stripped, case kept, 1024-byte limit), so it may be applied to a framer in any
// state; a change of settings discards what the framer had pending.
namespace ProgramFramers {

// ComPaquetTuvo and ComDataSolo: an 11-byte telemetry frame starting with the byte 0xFF; the
// packet is the 10 bytes after it (9 data bytes and the check byte).
void SetupTelemetry(TComDataPacket &framer);
// ComPaquetScan: a sweep answer, "#" and three characters; the packet is the three characters.
void SetupSweep(TComDataPacket &framer);
// ComPaquetDebug: every received byte as a packet of its own, in order.
void SetupDebug(TComDataPacket &framer);

} // namespace ProgramFramers
