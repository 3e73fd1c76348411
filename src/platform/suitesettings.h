#ifndef SUITESETTINGS_H
#define SUITESETTINGS_H

// The suite's per-user settings store, on Linux ~/.config/Nobridge/ZPV.conf.
// Every part of the suite keeps its keys in this one file.
namespace SuiteSettings {

inline constexpr char organisation[] = "Nobridge";
inline constexpr char application[] = "ZPV";

} // namespace SuiteSettings

#endif
