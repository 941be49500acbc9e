#pragma once

#include "enumset.h"
#include "serialsettings.h"

#include <cstdint>

// The serial port component's enumerations and sets. The names are the component's published
// ones; the order of each enumeration is its stored value.

enum TBaudRate {
    brCustom, // the port's CustomBaudRate
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TComError {
    errFrame,
    errRxParity,
    errOverrun,
    errBreak,
    errIO,
    errMode,
    errRxOver,
    errTxFull
};
enum TModemSignal { msCTS, msDSR, msRing, msRLSD };
// How line events reach the handlers: through a blocking hand-off to the port's (GUI) thread,
// one hand-off per event ("window" delivery), or on the event thread itself.
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

using TComEvents = EnumSet<TComEvent>;
using TComErrors = EnumSet<TComError>;
using TModemSignals = EnumSet<TModemSignal>;

constexpr TComEvents AllComEvents = TComEvents::fromBits(0x3FF);

// Bits per second for a rate other than brCustom.
constexpr int BaudRateValue(TBaudRate rate)
{
    constexpr int values[] = { 9600,  110,   300,   600,   1200,  2400,   4800,   9600,
                               14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000 };
    return values[rate];
}

namespace ComEventMask {
constexpr std::uint32_t bits[] = { SerialPlatform::Event::RxChar, SerialPlatform::Event::TxEmpty,
                                   SerialPlatform::Event::RxFlag, SerialPlatform::Event::Ring,
                                   SerialPlatform::Event::Break,  SerialPlatform::Event::Cts,
                                   SerialPlatform::Event::Dsr,    SerialPlatform::Event::Err,
                                   SerialPlatform::Event::Rlsd,   SerialPlatform::Event::Rx80Full };
}

// The platform event mask for an event set (all ten events: 0x05FF), and back; mask bits that
// stand for no event are ignored.
constexpr std::uint32_t EventsToMask(TComEvents events)
{
    std::uint32_t mask = 0;
    for (int e = evRxChar; e <= evRx80Full; ++e)
        if (events.contains(TComEvent(e)))
            mask |= ComEventMask::bits[e];
    return mask;
}

constexpr TComEvents MaskToEvents(std::uint32_t mask)
{
    TComEvents events;
    for (int e = evRxChar; e <= evRx80Full; ++e)
        if (mask & ComEventMask::bits[e])
            events.include(TComEvent(e));
    return events;
}
