// Stands in for a system library planted beside a downloaded setup program. Its one export
// tells a test which copy got loaded.
extern "C" __declspec(dllexport) int ZevPlantedLibrary() { return 1; }
