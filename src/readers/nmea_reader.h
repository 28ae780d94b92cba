// NMEA 0183 logs: one sentence per line. The device's reading takes only
// "$GPRMC," sentences with a valid checksum and status A:
//
//   $GPRMC,hhmmss[.ss],A,ddmm.mmmm,N|S,dddmm.mmmm,E|W,...*hh
//
// The time is only passed over; the fields after the longitude hemisphere are
// not read, except that a comma must follow it. Numbers are read with the
// rules of the C runtime's sscanf and atof in the "C" locale, never the
// process locale.
//
// A log with fewer than two such fixes is read again in the next mode
// (NmeaReadMode): RMC of any talker ("$GNRMC", "$GLRMC", ...) with the same
// rules, then GGA of any talker:
//
//   $GPGGA,hhmmss[.ss],ddmm.mmmm,N|S,dddmm.mmmm,E|W,q,...*hh
//
// of which the fixes of quality 1, 2, 4 and 5 (GPS, differential, RTK fixed,
// RTK float) are taken. In both modes a fix with the same time field as the
// fix taken before it is a repeat under another talker and is skipped.
#pragma once

#include "common/types.h"

/// Results of CheckNmeaChecksum.
constexpr int kChecksumOk = 0;
constexpr int kChecksumNoDollar = 1;    // the line does not start with "$"
constexpr int kChecksumNoStar = 2;      // no "*" before the end of the line
constexpr int kChecksumUnreadable = 3;  // no hexadecimal number after the "*"
constexpr int kChecksumMismatch = 4;    // the number is not the XOR of the bytes

/// Results of ReadNmeaPoint beside kReadOk and kReadEnd.
constexpr int kNmeaNotRmc = 1;          // not a "$GPRMC," sentence
constexpr int kNmeaBadChecksum = 2;     // checksum missing, unreadable or wrong
constexpr int kNmeaBadLatitude = 3;     // time, latitude or its hemisphere malformed; out of range
constexpr int kNmeaBadLongitude = 4;    // longitude or its hemisphere malformed
constexpr int kNmeaNoFix = 10;          // status other than A; GGA quality not a fix
constexpr int kNmeaRepeatedFix = 5;     // the time of the fix taken before (fallback modes)

/// How ReadNmeaPoint reads the log; the conversion run sets it for each reading.
constexpr int kNmeaGprmcOnly = 0;  // "$GPRMC," only: the device's reading
constexpr int kNmeaAnyRmc = 1;     // "$", two upper-case letters, "RMC,"
constexpr int kNmeaGga = 2;        // "$", two upper-case letters, "GGA,"
extern int NmeaReadMode;

/// Forgets the time of the last fix taken; called before every pass.
void ResetNmeaFixTime();

/// True when the NUL-terminated `line` starts with "$", two upper-case
/// letters and `type` (four characters, such as "RMC,").
bool IsTalkerSentence(const char* line, const char* type);

/// True when `quality`, the GGA fix quality field, is 1, 2, 4 or 5 and ends
/// at a comma or the "*".
bool IsGgaFixQuality(const char* quality);

/// The GGA fix quality field of the NUL-terminated GGA sentence `line`: the
/// sixth field after the sentence name; null when the line ends before it.
const char* GgaQualityField(const char* line);

/// The multiplier from minutes to degrees: the double nearest 1/60.
constexpr double kDegreesPerMinute = 0.016666666666666666;

/// Checks the checksum of the NUL-terminated sentence `line`: the XOR of the
/// bytes between "$" and the first "*", as values 0-255, against the "%x"
/// number right after the "*". A "*" followed by no number is unreadable
/// unless the byte after it is "0".
int CheckNmeaChecksum(const char* line);

/// Reads lines of the input stream until the end of the input or one line has
/// been judged; a usable RMC sentence fills `point`. No scan goes past the
/// end of the line. Reads as NmeaReadMode says.
int ReadNmeaPoint(TrackPoint* point);

/// ReadNmeaPoint in mode kNmeaGprmcOnly, whatever NmeaReadMode holds: the
/// conversion run calls it straight when the mode is the device's, so that
/// the mode is not tested once per line.
int ReadGprmcPoint(TrackPoint* point);

/// sscanf(text, "%<width>d", value) in the "C" locale, for width >= 1 or -1
/// (no width): skips white space, takes an optional sign (which counts toward
/// the width) and decimal digits. True when a number was read; otherwise
/// *value keeps what it held.
bool ScanDecimal(const char* text, int width, int* value);

/// sscanf(text, "%<width>x", value) in the "C" locale, for width >= 1 or -1:
/// as ScanDecimal, with an optional "0x" or "0X" prefix and hexadecimal digits
/// of either case. A negative number or one beyond 32 bits gives the value
/// the runtime's conversion gives (modulo 2^32; all ones on overflow).
bool ScanHex(const char* text, int width, unsigned* value);
