// The listed printer: P1's driver data file (fixture_printer.h) in the
// configuration-set form that carries the job settings' association lists.
// The printer object's configuration set (198) is a GConfiguration holding
// P1's job settings (the attribute composite keyed 198, unchanged) and,
// beside them, the lists an attribute composite cannot hold:
//   192  the papers the printer takes: kListedPapers, each a value
//        attribute (key 0) to the same value; P1's other media (Legal 5,
//        Tabloid 3, Small Card 50) are not listed;
//   906  the copy qualities: 1 "LOW", 2 "low" (value attribute, key 0, to
//        GSelectionString);
//   950  printer-data values of the installed options: a pair of wrong
//        classes (a string key to a composite), then 925 "Mem", 316 "Bin"
//        and 202 "Level" (value attribute holding the key to string
//        attribute holding the value name).
// Everything else is P1's. Install it with InstallFixturePrinter (or a
// test fixture's rewrite of the data file).
//
// Ownership: the builder's answer is the caller's. Threads: one thread
// sets up.
#pragma once

#include <cstdint>

class MPersistentComposite;

namespace support {

// The papers of list 192: Letter and A4.
inline constexpr std::uint16_t kListedPapers[] = {1, 23};

// P1's data file root with the printer object's configuration set made a
// GConfiguration as above; P1's own root when it has no printer object.
MPersistentComposite* BuildListedDataFile();

}  // namespace support
