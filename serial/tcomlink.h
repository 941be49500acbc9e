#pragma once

#include <functional>

class TCustomComPort;

// What a component that wants the port's data or state attaches to it (AttachLink). Every
// callback is optional and called only if set, always on the GUI thread, with the port as
// sender. Links are notified in attach order. The port does not own its links.
class TComLink
{
public:
    using OnOffEvent = std::function<void(TCustomComPort *sender, bool onOff)>;
    using BlockEvent = std::function<void(TCustomComPort *sender, const char *buffer, int count)>;
    using NotifyEvent = std::function<void(TCustomComPort *sender)>;

    OnOffEvent OnLinkConnection; // after open (true), after close (false)
    BlockEvent OnLinkRxBlock;    // a block of received bytes was read
    BlockEvent OnLinkTxBlock;    // a write completed (copy of the written bytes)
    NotifyEvent OnLinkTxEmpty;
    NotifyEvent OnLinkRxFlag;
    OnOffEvent OnLinkCTS;
    OnOffEvent OnLinkDSR;
    OnOffEvent OnLinkRLSD;
    NotifyEvent OnLinkRing;
    OnOffEvent OnLinkTxBusy;
    OnOffEvent OnLinkRxWaiting;
};
