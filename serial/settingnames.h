#pragma once

#include "comtypes.h"

#include <QString>

// How the serial settings are spelled in text (settings storage). Names compare ignoring ASCII
// letter case; a name that is not in a list gives that setting's default.

QString BaudRateName(TBaudRate value); // "Custom", "110", ..., "256000"
QString StopBitsName(TStopBits value); // "1", "1.5", "2"
QString DataBitsName(TDataBits value); // "5" to "8"
QString ParityName(TParityBits value); // "None", "Odd", "Even", "Mark", "Space"
QString FlowControlName(TFlowControl value); // "Hardware", "Software", "None", "Custom"
QString DTRName(TDTRFlowControl value); // "Disable", "Enable", "Handshake"
QString RTSName(TRTSFlowControl value); // "Disable", "Enable", "Handshake", "Toggle"

TBaudRate BaudRateFromName(const QString &name); // default br9600
TStopBits StopBitsFromName(const QString &name); // default sbOneStopBit
TDataBits DataBitsFromName(const QString &name); // default dbEight
TParityBits ParityFromName(const QString &name); // default prNone
TFlowControl FlowControlFromName(const QString &name); // default fcCustom
TDTRFlowControl DTRFromName(const QString &name); // default dtrDisable
TRTSFlowControl RTSFromName(const QString &name); // default rtsDisable

QString BoolName(bool value); // "Yes" / "No"
bool BoolFromName(const QString &name); // true only for "yes" in any letter case

// Codes 33 to 127 give the character itself, any other code "#" and its decimal code ("#0",
// "#32", "#200").
QString CharName(char value);
// "" gives 0; "#" and a decimal code 0..255 gives that code (anything else after "#" gives 0);
// any other text gives its first character (Latin-1).
char CharFromName(const QString &name);
