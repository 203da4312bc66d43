#pragma once
// Bitmaps of the device tree's image list (make_artwork.py draws them). The
// row icons 143 to 146 and 148 and the background 160 are named in
// scan_resource.h; the tree reuses 148 and 144. Plain defines, so the
// resource script may include it.
#define IDB_TREE_BRIDGE 149            // bridges, cameras, controllers, wired links
#define IDB_TREE_WIRELESS 150          // the controller of a wireless sensor
#define IDB_TREE_FAULT 151             // nothing found, faults
#define IDB_TREE_SENSOR 152            // X-ray roots and sensors
#define IDB_TREE_DRIVER 153            // drivers, management software
#define IDB_TREE_FIRMWARE 154          // firmware and CPLD versions
#define IDB_TREE_MEASURE 155           // exposure counts and voltages
#define IDB_TREE_BATTERY 156           // the wireless sensor's battery
#define IDB_TREE_PLATE_SCANNER 157     // first-generation plate scanner
#define IDB_TREE_PLATE_SCANNER_NET 161 // second-generation plate scanners

#ifndef RC_INVOKED
namespace ostrel {
// The tree image list's bitmaps, in the order that gives icon indexes 0 to 11.
inline constexpr unsigned kTreeImageBitmaps[12] = {
    IDB_TREE_BRIDGE,  IDB_TREE_WIRELESS,      IDB_TREE_FAULT,   IDB_TREE_SENSOR,
    IDB_TREE_DRIVER,  IDB_TREE_FIRMWARE,      IDB_TREE_MEASURE, 148 /* information */,
    IDB_TREE_BATTERY, IDB_TREE_PLATE_SCANNER, 144 /* arrows */, IDB_TREE_PLATE_SCANNER_NET,
};
} // namespace ostrel
#endif
