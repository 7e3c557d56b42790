// The private escape records that tell the driver's rendering side about a
// job, through ExtEscape on the printer device context. Every record is
// little-endian; a text record is 8-bit text (the system's code page) with
// its NUL, sent with an input length of text length + 1 and no reply.
//
//   code        record
//   0x303EB8E7  the program's FileDescription; with input length 0 and a
//               512-byte reply buffer, a query whose reply is the job name
//   0x303EB8E8  the printer's port name
//   0x303EB8E9  "Application Info: " description ";" product ";" version
//               ";", or "Application Context not Available"
//   0x303EB8EB  the domain             0x303EB8EC  the computer name
//   0x303EB8ED  12 bytes: u32 0xCFC14712, u32 state (1 before the
//               watermark's text, 0 after), u32 colour (r + g<<8 + b<<16)
//   0x303EB8EE  12 bytes: u32 0xCFC14711, u32 mode, u32 0 (manual duplex;
//               an answer of 1 accepts)
//   0x303EB8EF  the job's user name
//   0x303EB8F0  "OS Info: " ["WinNT Kernel;"] major "." minor ";" build ";"
//   0x303EB8F1  a new UUID as 36 characters and a NUL (37 bytes)
//   0x303EB8F9  the program's file name (after its last backslash)
//
// Pure senders over the platform's device context; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

inline constexpr int kEscapeProgram = 0x303EB8E7;  // also the job-name query
inline constexpr int kEscapePort = 0x303EB8E8;
inline constexpr int kEscapeApplication = 0x303EB8E9;
inline constexpr int kEscapeDomain = 0x303EB8EB;
inline constexpr int kEscapeComputer = 0x303EB8EC;
inline constexpr int kEscapeWatermark = 0x303EB8ED;
inline constexpr int kEscapeManualDuplex = 0x303EB8EE;
inline constexpr int kEscapeUser = 0x303EB8EF;
inline constexpr int kEscapeSystem = 0x303EB8F0;
inline constexpr int kEscapeJobId = 0x303EB8F1;
inline constexpr int kEscapeFileName = 0x303EB8F9;

inline constexpr std::uint32_t kWatermarkMarker = 0xCFC14712;
inline constexpr std::uint32_t kManualDuplexMarker = 0xCFC14711;
inline constexpr std::size_t kStateRecordSize = 12;
// The job-name query's reply buffer.
inline constexpr std::size_t kJobNameReplySize = 512;

inline constexpr char kNoApplicationContext[] = "Application Context not Available";

// The 12-byte record of a marker, a state and a third word.
std::array<std::uint8_t, kStateRecordSize> MakeStateRecord(std::uint32_t marker,
                                                           std::uint32_t state,
                                                           std::uint32_t third);
// Sends a state record; the escape's answer.
int SendStateEscape(platform::HDC dc, int code, std::uint32_t marker, std::uint32_t state,
                    std::uint32_t third);
// Sends `text` and its NUL; the escape's answer.
int SendTextEscape(platform::HDC dc, int code, const RWCString& text);
// The same after converting `text` to 8-bit text (nothing sent when it
// does not convert).
int SendWideTextEscape(platform::HDC dc, int code, const RWWString& text);

// 0x303EB8F0 from GetVersionExW; nothing when it fails.
void SendSystemRecord(platform::HDC dc);
// 0x303EB8E7 and 0x303EB8E9 from the host program's version data.
void SendProgramRecords(platform::HDC dc);
// 0x303EB8F9 with the part of `path` after its last backslash.
void SendFileNameRecord(platform::HDC dc, const RWWString& path);
// 0x303EB8F1 with a new UUID; nothing when no text can be made.
void SendJobIdRecord(platform::HDC dc);

// The version data of the file at `path` into `block`, and the language
// and code page of its first and last translations; false without one.
struct GVersionTranslation {
  platform::WORD language = 0;
  platform::WORD code_page = 0;
};
bool ReadVersionData(const RWWString& path, std::string& block, GVersionTranslation& first,
                     GVersionTranslation& last);

// The job-name query: true and the reply up to its NUL (at most 511 bytes,
// so that a reply without one still ends) when the escape answers above 0.
bool QueryJobName(platform::HDC dc, RWCString& name);
