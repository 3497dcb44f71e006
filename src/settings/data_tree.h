#pragma once
#include <array>
#include <filesystem>
#include <string>

namespace zeph {

// The program's data tree. Every path is relative to the current folder, which is the program's own folder;
// only parameters.xml and the flight plans live under the program's AppData folder.

extern const std::filesystem::path docsDir;    // "docs": its presence marks the program's folder
extern const std::filesystem::path manualFile; // docs/Manual.pdf

extern const std::filesystem::path inputDir; // "input": the reference data files
extern const std::filesystem::path dbaseEncFile;
extern const std::filesystem::path dbaseXmlFile;
extern const std::filesystem::path aigRegcodesEncFile;
extern const std::filesystem::path aigRegcodesXmlFile;
extern const std::filesystem::path airportsEncFile;
extern const std::filesystem::path airportsXmlFile;
extern const std::filesystem::path myRegcodesDir; // the user's own registration-code files

extern const std::filesystem::path outputDir; // "output": what the scans produce
extern const std::filesystem::path infoDir;   // output/info
extern const std::filesystem::path errorsDir; // output/errors
extern const std::filesystem::path liveriesScannedFile;
// The reports of the livery scan: two in output/info, six in output/errors.
extern const std::filesystem::path conversionsReportFile; // kept when a new scan starts
extern const std::array<std::filesystem::path, 8> livScanReportFiles;
extern const std::filesystem::path airportsScanLogFile;

extern const std::filesystem::path airportsDir; // "airports": the airport files
extern const std::filesystem::path learnedDir;
extern const std::filesystem::path learnedStockDir;
extern const std::filesystem::path learnedSimaddonDir;
extern const std::filesystem::path learnedThirdpartyDir;
extern const std::filesystem::path myOrbxDir;
extern const std::filesystem::path myThirdpartyDir;
extern const std::filesystem::path myParkAirportsFile;

extern const std::filesystem::path tbloName;    // "tblo": airport files to be learned offline
extern const std::filesystem::path tbloZipName; // tblo/tblo.zip, the package built in that folder

extern const std::filesystem::path newVersionDir; // "new_version": the unpacked installer of a newer version
extern const std::filesystem::path installerExeName;
extern const std::filesystem::path releaseNotesName;

// The folder name of RealTraffic's maker, under which the start-up looks for RealTraffic.
extern const std::string insideSystemsName;

// Left behind by older versions; the conversion after a version update removes them.
extern const std::filesystem::path toBeLearnedOfflineDir;
extern const std::filesystem::path versionsJsonFile;
extern const std::filesystem::path airportsP3dXmlFile; // input/airports_p3d.xml

// The program's AppData folder: the roaming AppData folder / "Corvane_P3D", or the relative "Corvane_P3D"
// when there is none (logged). Computed on first use, so nothing reads the environment before main.
std::filesystem::path appDataDir();
std::filesystem::path parametersFile(); // appDataDir() / "parameters.xml"
std::string parametersFileUtf8();       // the same as text, for loading and messages
std::filesystem::path flightPlanDir();  // appDataDir() / "orig_dest"

// Points the AppData folder (the one holding parameters.xml) at dir; an empty path forgets it, so the next
// use computes it again.
void setAppDataDirForTests(const std::filesystem::path& dir);

// Whether Prepar3D v5 or v6 is installed, read from the registry at the first call and kept for the process.
// Other versions are never installed.
bool p3dInstalled(int version);

} // namespace zeph
