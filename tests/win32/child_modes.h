#pragma once
// The test program doubles as the program under test: copied into a prepared folder and
// started with one of these modes, it shows how a real setup program would behave there.
#include <optional>
#include <string>
#include <vector>

namespace zev::win32::test {

// Loads the named library with LoadLibraryA and prints where it came from.
inline constexpr char kLoadByName[] = "--child-load-by-name";
inline constexpr char kLoadSystemLibrary[] = "--child-load-system-library";
inline constexpr char kPrepareAndLoadByName[] = "--child-prepare-and-load-by-name";
inline constexpr char kPrintVersion[] = "--child-print-version";
// Shows the start-up windows until a stop file appears: for screenshots taken from outside.
// Arguments: bitmap, stop file, and optionally "classic" for the pre-XP picture.
inline constexpr char kShowStartupWindows[] = "--show-startup-windows";

// The export of the planted stand-in library.
inline constexpr char kPlantedExport[] = "ZevPlantedLibrary";

// Runs the mode named by the first argument; nothing when it names none.
std::optional<int> RunChildMode(const std::vector<std::string>& arguments);

}  // namespace zev::win32::test
