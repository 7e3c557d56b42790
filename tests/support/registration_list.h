// The library's registration list: every class it registers with the
// class factory, by class id and class name, as every form of the library
// must hold it (the collection library's own from 0x8003 on).
#pragma once

#include <map>

#include "foundation/rw/defs.h"

namespace testing_support {

// Every registration of the library, by class id and class name (790 is
// registered by two classes, GHalftoneEnhanced first; 773, the counted
// pointer, has a creator that makes nothing).
// clang-format off
inline const std::map<RWClassID, const char*> kRegistrationList = {
    {3, "GLocaleInfo"}, {4, "GBinaryData"}, {53, "GRGBColor"}, {101, "GGraphicBundle"},
    {102, "GFillMode"}, {103, "GTransformAttribute"}, {152, "GColorPaint"}, {201, "GPen"},
    {202, "GNoPen"}, {203, "GDashedPen"}, {251, "GBrush"}, {252, "GNoBrush"}, {301, "GCap"},
    {351, "GJoint"}, {352, "GMiterJoint"}, {401, "GRasterOperation"}, {501, "GClipToRectangle"},
    {502, "GClipToPath"}, {503, "GClipToPage"}, {504, "GClipToSingleRectangle"}, {551, "GBitmap"},
    {552, "GBitmapImp"}, {553, "GPaletteTable"}, {603, "GPathGraphic"}, {604, "GRasterGraphic"},
    {605, "GCommandComposite"}, {606, "GCommandCompositeOnDisk"}, {607, "GGraphicComposite"},
    {608, "GPassThroughCommand"}, {609, "GPreScaledRasterGraphic"},
    {610, "GDownloadHeaderCommand"}, {653, "GPolyBezierGraphic"}, {657, "GPolygonGraphic"},
    {659, "GRectangleGraphic"}, {705, "GDocumentStart"}, {706, "GDocumentEnd"},
    {709, "GPageStart"}, {710, "GPageEnd"}, {712, "GNullCommand"}, {713, "GJobAbort"},
    {714, "GErrorCommand"}, {715, "GNoCommand"}, {752, "MPersistentComposite"},
    {757, "GAttributeComposite"}, {758, "GState"}, {759, "GConfiguration"}, {761, "GPrinter"},
    {762, "GRangeAttribute"}, {763, "GValueAttribute"}, {764, "GEnumAttribute"},
    {767, "GVexalon"}, {768, "GPostScript"}, {769, "GWqm"}, {770, "GPeripheralComposite"},
    {771, "MPersistentAssociation"}, {772, "MAssociationList"}, {773, "GCountedPtr"},
    {774, "GDitherMatrix"}, {775, "GCustomMediaSize"}, {776, "GStringAttribute"},
    {777, "GPersistableLong"}, {778, "GPersistableULong"}, {779, "GPeripheralProxy"},
    {780, "GDynamicLibrary"}, {781, "MPersistentCompositeOnDisk"},
    {782, "MPersistentCompositeOnDiskImp"}, {783, "GRecord"}, {784, "GRecordProxy"},
    {785, "GRecordComposite"}, {786, "GDisplayString"}, {787, "GDisplayStringAttribute"},
    {788, "GZdl5e"}, {789, "GValue32Attribute"}, {790, "GHalftoneEnhanced"}, {791, "GColorMap"},
    {792, "GTintvectorAttribute"}, {794, "GBookletComposite"}, {796, "GOptMediaComposite"},
    {797, "GTintvectorEnhancedAttribute"}, {798, "GNeutralGrays"}, {799, "GEdgeControl"},
    {800, "GSRGBColor"}, {802, "GTextString"}, {803, "GTextEscapements"},
    {804, "GTextStringGraphic"}, {806, "GDownloadFace"}, {855, "GDeviceFontDescription"},
    {856, "GDeviceFontList"}, {859, "GTTFontFile"}, {869, "GGlyphCache"},
    {870, "GGlyphCacheNode"}, {872, "GTTTableCache"}, {873, "GDeviceFontListComposite"},
    {956, "GPMLDescriptor"}, {957, "GPLMProvider"}, {1001, "GTray"}, {1002, "GMedia"},
    {1003, "GCapabilities"}, {1004, "GResourceMapping"}, {1005, "GResourceMappingList"},
    {1006, "GMediaPool"}, {1008, "GSelectionString"}, {1009, "GBin"},
    {1010, "GPaperHandlingDevice"}, {1012, "GFormToTrayDatabase"},
    {1013, "GFormToTrayAssociation"}, {1014, "GMarginPool"}, {1051, "GPMDVersionInfo"},
    {1101, "GNupFilter"}, {1102, "GWatermarkFilter"}, {1103, "GFitToSizeFilter"},
    {1104, "GScalePageFilter"}, {1105, "GBookletFilter"}, {1107, "GTintvectorFilter"},
    {1108, "GEmulateMarginsFilter"}, {1109, "GReverseFilter"}, {1110, "GManualDuplexFilter"},
    {1111, "GBackCoverFilter"}, {1112, "GReducingFilter"}, {1113, "GCopyPageFilter"},
    {1114, "GLetterheadFilter"}, {1115, "GAAFilter1"}, {1116, "GAAFilter2"},
    {1117, "GSymetricalDuplexFilter"}, {1118, "GFrontCoverFilter"}, {1119, "GLastPageFilter"},
    {1120, "GFaceUpFilter"}, {1201, "GTintvectorEnhancedAttributeVer2"}, {1202, "GSRGBExtension"},
    {0x8003, "RWBTree"}, {0x8004, "RWBTreeDictionary"}, {0x8007, "RWCollectable"},
    {0x8008, "RWCollectableAssociation"}, {0x8025, "RWIdentitySet"}, {0x802B, "RWSet"},
    {0x8033, "RWSlistCollectables"}, {0x8036, "RWSlistCollectablesStack"},
    {0x805E, "RWHashTable"}, {0x805F, "RWCollectableIDAssociation"}};
// clang-format on

// The first id of the collection library's own classes.
inline constexpr RWClassID kFirstLibraryClassId = 0x8003;

}  // namespace testing_support
