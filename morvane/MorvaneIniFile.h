// The receiver's settings file: the three remote pointer groups, the own
// pointer server, the pointer colours and shape, and the status channel, in
// seven sections:
//
//   [PointerP1Client] [PointerP2Client] [PointerP3Client]
//       Address, Port, TimeToLive
//   [PointerServer]   Address, Port, TimeToLive, MaxTransmittingRate,
//                     TransmittingCount, PacketSize
//   [Blendor]         PointerColor0, PointerColor1, PointerColor2
//                     (Black, Blue, Green, SkyBlue, Red, Purple, Yellow, White)
//   [Tracion]         PointerShape (Standard, Arrow, Circle, Rectangle, Target, Star)
//   [StatusReceiver]  Address, Port, TimeToLive, IPv6InterfaceId
//
// Names of sections, keys, colours and shapes are read without regard to
// case. Both operations visit the keys in this order.
#pragma once
#include "pellum/mxString.h"

class Morvane;

// Writes every key with the engine's current values into a copy of the file
// (other sections and keys stay) and puts the copy in place of the file in
// one step. False for a null or empty path, for an engine that did not
// start, and when anything cannot be written; the file is then left as it
// was.
bool writeMorvaneIniFile(Morvane& engine, const char* path);

// Reads every key, each with the current value as default, and applies it
// at once (each status channel key reopens the listener). A colour or shape
// name not in the lists, or a number out of range, leaves the value as it
// is. False only for a null or empty path or an engine that did not start.
bool readMorvaneIniFile(Morvane& engine, const char* path);

// The names of colour codes 0..7 and shape codes 0..5 (null outside), and
// back (-1 for an unknown name; case does not matter).
const char* morvaneColorName(int code);
const char* morvaneShapeName(int code);
int morvaneColorCode(const mxString& name);
int morvaneShapeCode(const mxString& name);
