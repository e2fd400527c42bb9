// Program identity and the places the program finds its data.
#pragma once

#include <string>

namespace ardvin {

inline constexpr const char* ApplicationTitle = "Ardvin9";
inline constexpr const char* ProductName = "Ardvin for Databases";
inline constexpr const char* VersionText = "V9.2.1";

// The folder of the running executable.
std::string ProgramFolder();
// The definitions folder: "definitions" beside the executable, else
// "../share/ardvin/definitions" relative to it. Empty when neither exists.
std::string LocateDefinitionsFolder();

}  // namespace ardvin
