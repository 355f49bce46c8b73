// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A DBC text for the signal export and window tests, and the values of a few frames worked out
// by hand:
//   0x100 0F E0 10 27: Temp = Motorola bits 3..0 of byte 0, 7..4 of byte 1 = 0xFE = -2 raw,
//                      -2 - 40 = -42 degC, labelled "cold"; Speed = 0x2710 = 10000 * 0.25 = 2500.
//   0x200 (29-bit) 01 07 00: Mx 1 selects One = 7; Two is not carried.
//   0x200 (29-bit) 02 FF FF: Mx 2 selects Two = 0xFFFF = -1 * 0.5 = -0.5.
//   0x100 00 50 (two bytes): Speed lies beyond the frame; Temp = 0x05 - 40 = -35.
inline QByteArray signalTestDbc()
{
    return R"(VERSION ""
BU_: Ecu
BO_ 256 Engine: 4 Ecu
 SG_ Speed : 16|16@1+ (0.25,0) [0|16383.75] "rpm" Vector__XXX
 SG_ Temp : 3|8@0- (1,-40) [-40|215] "degC" Vector__XXX
BO_ 2147484160 Muxed: 3 Ecu
 SG_ Mx M : 0|8@1+ (1,0) [0|255] "" Vector__XXX
 SG_ One m1 : 8|8@1+ (1,0) [0|255] "" Vector__XXX
 SG_ Two m2 : 8|16@1- (0.5,0) [-100|100] "" Vector__XXX
CM_ SG_ 256 Speed "Crankshaft speed";
VAL_ 256 Temp -2 "cold" ;
)";
}

// The decoded CSV of those frames at 1700000000.000000, .100000, .250000 and 1700000001.000001.
inline QByteArray signalTestCsv()
{
    return "time,Engine.Speed,Engine.Temp,Muxed.Mx,Muxed.One,Muxed.Two\n"
           "1700000000.000000,2500,-42,,,\n"
           "1700000000.100000,,,1,7,\n"
           "1700000000.250000,,,2,,-0.5\n"
           "1700000001.000001,,-35,,,\n";
}
