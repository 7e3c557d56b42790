// GFlatSettingsCodec: the flat settings record, the compact tagged form in
// which a whole settings tree travels in the private part of a device mode
// (numbers mode 0, then compressed) and in named objects of printer data
// (numbers mode 1). Encode writes a tree of model objects as a record;
// Decode builds a new tree from a record, taking only the children that a
// pattern tree expects and filling in from the pattern every child the
// record lacks. The pattern (the template) is built once, by the first
// Decode, from the driver data's default settings and job settings.
//
// Record (every item through the virtual stream's typed operations; all
// callers use the binary encoding, numbers little-endian):
//   marker   20 bytes kFlatMarkerByte ('s')
//   node     the top-level node
// A node is its type byte and the bytes below. V is a node version, K a
// node key: u16 in numbers mode 0 (the key's low 16 bits; read back
// zero-extended), u32 in mode 1. Every other width is fixed. A string form
// is the string's stored form: u32 length n, the counted string's own u32
// count (n), the n bytes.
//   composite body (1, 2, 9, 12, 15, 16):
//     V (1), K, u16 L, the children, the end byte 0, where
//     L = 2 + (bytes of the children) + 1 + 1
//   1  GAttributeComposite      composite body
//   2  GState                   composite body
//   3  GValueAttribute          K, i16 value (values outside 0..20)
//   4  GTintvectorAttribute     V, K, 6 bytes: colour map, halftone of
//                               text, of graphics, of photos
//   5  GRangeAttribute          V, K, i16 maximum, minimum, step, value
//   6  GDisplayStringAttribute  V, K, text (string form), u16 string id,
//                               module name (string form)
//   7  GStringAttribute         K, u16 n = length + 1, the bytes and a 0
//   8  GFormToTrayDatabase      V, K, u16 default media type, u16 default
//                               tray, one type-10 node per association,
//                               the end byte 0 (no length)
//   9  GEnumAttribute           composite body (the choices only)
//   10 GFormToTrayAssociation   V, K, u16 form, u16 media type, u16 tray
//   11 GCustomMediaSize         V, K, u16 code, name (string form), u16
//                               unit, u32 width, u32 height
//   12 GDeviceFontListComposite composite body of type-14 nodes
//   14 GDeviceFontList          V (3), the list as one object reference of
//                               the object-graph form; no key
//   15 MAssociationList         composite body of type-17 nodes
//   16 GResourceMappingList     composite body of type-18 nodes
//   17 MPersistentAssociation   V, K, u16 value of the key object (a value
//                               attribute), u16 value kind, the value:
//                               0 string form, 1 u16, 2 string form (a
//                               selection string's text), 9 one object
//                               reference of the object-graph form
//   18 GResourceMapping         V, K, u16 system number, i16 second number,
//                               u32 string resource id
//   19 GTintvectorEnhancedAttribute       V, K, 8 bytes: neutral greys
//      and halftone of text, graphics, photos; edge control; RGB colour
//   20 GTintvectorEnhancedAttributeVer2   V, K, 10 bytes: neutral greys,
//      halftone and sRGB colour of text, graphics, photos; edge control
//   110-130 GValueAttribute     K; the value is the type byte - 110
// Type 13 is unused. Types 12, 15 and 16 are read only as the top-level
// node, 14, 17 and 18 only inside them, 10 only inside 8.
//
// What a record does not carry: an enumeration's current choice and choice
// class id (the first choice read becomes the current one); state words
// and serial numbers; a form-to-tray database's defaults and its
// associations' keys and form names; the inherited colour map and
// halftone of types 19 and 20; a selection string's own selection value
// (kind 2 takes the association key's value); keys of lists and of list
// members (read back as 0, a font-list composite with its default key); in
// mode 0 the high 16 bits of keys; a custom size's unit above 16 bits. A
// media pool is written as an enumeration and read back as one. A
// GValue32Attribute and every class not in the table cannot be written.
//
// Reading. A composite node is looked up in its pattern parent by key
// (FindByKey, depth first, first match); a node whose key the pattern does
// not hold is skipped whole by its own length, as is nothing else. Those
// answers, and each pattern node's children by key, are worked out once
// when the template is built and kept beside it, so that a decode costs
// in proportion to the record. A child
// is kept when the pattern node has a child of that key and TypeId (the
// last such child counts), or by the rules in flat_settings_reader.cpp; the
// pattern's children that the record did not supply follow as deep copies.
// A child that cannot be read (an unknown type byte, a bad version, damage)
// ends its parent's children: the parent skips to its own end and keeps
// what it read. A length that points backwards or beyond the input, or an
// input that ends, stops the whole read: every open node keeps what it read
// plus the pattern's missing children. Nothing is allocated from a stored
// length beyond what the input supplies. Decode reads inside an error
// scope: objects of the object-graph form with bad class ids fail their
// node and never reach the process-wide error handler.
//
// Ownership: the codec owns its template. Encode leaves the tree as it is;
// Decode's answer belongs to the caller. Threads: one codec is used by one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class GAttributeComposite;
class GDriverData;
class GFlatPatternIndex;
class GPersistenceInputStream;
class GPersistenceOutputStream;
class MPersistentObject;
class RWVirtualInputStream;
class RWVirtualOutputStream;

inline constexpr std::uint8_t kFlatMarkerByte = 0x73;
inline constexpr std::size_t kFlatMarkerLength = 20;
inline constexpr std::uint8_t kFlatEndByte = 0;

// Node types.
inline constexpr std::uint8_t kFlatComposite = 1;
inline constexpr std::uint8_t kFlatState = 2;
inline constexpr std::uint8_t kFlatValue = 3;
inline constexpr std::uint8_t kFlatTintvector = 4;
inline constexpr std::uint8_t kFlatRange = 5;
inline constexpr std::uint8_t kFlatDisplayString = 6;
inline constexpr std::uint8_t kFlatString = 7;
inline constexpr std::uint8_t kFlatFormToTray = 8;
inline constexpr std::uint8_t kFlatEnum = 9;
inline constexpr std::uint8_t kFlatFormToTrayAssociation = 10;
inline constexpr std::uint8_t kFlatCustomSize = 11;
inline constexpr std::uint8_t kFlatFontListComposite = 12;
inline constexpr std::uint8_t kFlatFontList = 14;
inline constexpr std::uint8_t kFlatAssociationList = 15;
inline constexpr std::uint8_t kFlatResourceMappingList = 16;
inline constexpr std::uint8_t kFlatAssociation = 17;
inline constexpr std::uint8_t kFlatResourceMapping = 18;
inline constexpr std::uint8_t kFlatTintvectorEnhanced = 19;
inline constexpr std::uint8_t kFlatTintvectorEnhancedVer2 = 20;
// A value attribute of 0..20 is the type byte 110 + value.
inline constexpr std::uint8_t kFlatSmallValueBase = 110;
inline constexpr std::int32_t kFlatSmallValueMax = 20;

inline constexpr std::uint32_t kFlatNodeVersion = 1;
inline constexpr std::uint32_t kFlatFontListVersion = 3;

// Value kinds of an association (type 17).
inline constexpr std::uint16_t kFlatValueString = 0;
inline constexpr std::uint16_t kFlatValueNumber = 1;
inline constexpr std::uint16_t kFlatValueSelection = 2;
inline constexpr std::uint16_t kFlatValueObject = 9;

// Number modes: 16-bit versions and keys (device modes), 32-bit (named
// objects).
inline constexpr std::uint16_t kFlatShortNumbers = 0;
inline constexpr std::uint16_t kFlatLongNumbers = 1;

// The largest composite length field: a node whose L would be larger
// cannot be written.
inline constexpr std::uint32_t kFlatMaxLength = 0xFFFF;

class GFlatSettingsCodec {
 public:
  // 16-bit numbers, no template.
  GFlatSettingsCodec();
  ~GFlatSettingsCodec();
  GFlatSettingsCodec(const GFlatSettingsCodec&) = delete;
  GFlatSettingsCodec& operator=(const GFlatSettingsCodec&) = delete;

  // Writes the marker and `tree` as the top-level node onto `stream`, which
  // `holder` hands out (its Tell and Seek place the length fields). A null
  // tree writes the marker alone and answers 1. Answers 0 for a mode other
  // than 0 and 1 (nothing written), when the tree holds a class without a
  // node type or a string of 65,535 characters or more (the record stays
  // well formed but ends early), and when the stream fails; a composite
  // longer than kFlatMaxLength also fails the stream, so callers that test
  // the stream see it.
  // REQUIRES: `holder` hands out `stream` and can seek back.
  int Encode(MPersistentObject* tree, RWVirtualOutputStream* stream,
             GPersistenceOutputStream* holder, std::uint16_t mode);

  // Reads a record from `stream` (handed out by `holder`, whose Tell
  // places the lengths) and answers a new tree (caller's), or null: for a
  // mode other than 0 and 1 (nothing read), a marker byte other than 's',
  // a top-level node that cannot be read or whose key the template lacks.
  // The first call builds the template from `driver_data` (may be null);
  // later calls keep it, whatever they pass.
  MPersistentObject* Decode(RWVirtualInputStream* stream, GPersistenceInputStream* holder,
                            GDriverData* driver_data, std::uint16_t mode);

  // 1 when all 20 bytes are 'a' (0x61), else 0.
  // REQUIRES: `bytes` holds kFlatMarkerLength bytes.
  static int IsLetterAMarker(const std::uint8_t* bytes);

  // The template, null before the first Decode.
  const GAttributeComposite* Template() const { return template_root_.get(); }

 private:
  void BuildTemplate(GDriverData* driver_data);

  std::uint32_t short_numbers_ = 1;                     // 1: 16-bit V and K
  std::unique_ptr<GAttributeComposite> template_root_;  // built by the first Decode
  std::unique_ptr<GFlatPatternIndex> index_;            // of the template, built with it
};
