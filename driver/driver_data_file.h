// The driver data file: the file that the spooler names as the printer
// driver's data file (DRIVER_INFO_2's data file), holding the driver's
// whole model of the printer as one object graph in the binary stream
// encoding. Its root is any model object; the loader takes four of its
// descendants by key and drops the rest:
//   kDriverConfigurationKey  the configuration: a device whose own settings
//                            hold kColorDeviceKey and whose child keyed
//                            kPrinterObjectKey is the printer object
//                            (driver_data_imp.h)
//   kPaperSizeMappingKey     the paper-size mapping (GResourceMappingList)
//   kOSTrayMapKey            the operating-system tray map
//                            (GResourceMappingList)
//   kResourceMappingsKey     the resource mappings (GResourceMappingList)
// A mapping of another class counts as missing; a missing resource mappings
// list is an empty list keyed kResourceMappingsKey, so the driver data
// always has one.
//
// Threads: any, on a driver data it alone uses.
#pragma once

class GDriverData;
class GPersistenceInputStream;

// Restores the root from `stream` inside an error scope and hands the
// parts above to `object` (its setters delete what it held). False, with
// `object` untouched, when the stream is not good or the root cannot be
// read whole.
bool LoadDriverDataFile(GPersistenceInputStream& stream, GDriverData& object);
