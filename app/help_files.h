#pragma once
#include <QString>

namespace app {

/// The maker's web site, opened by the address labels and the maker menu entries.
inline constexpr const char* MakerWebAddress = "https://tamberlane.example.org/skylark";
inline constexpr const char* UpdatePageAddress = "https://tamberlane.example.org/skylark/download";
inline constexpr const char* UserGroupAddress = "https://groups.example.org/g/tamberlane";
/// Station-information page; the URL-encoded callsign is appended.
inline constexpr const char* StationInfoAddress = "https://aprs.fi/info/a/";
inline constexpr const char* StationInfoMenuCaption = "aprs.fi";

/// The About box's lines after its first, which is the program's name and version.
inline constexpr const char* AboutCredits = "Written by the Skylark developers\n"
                                            "Tamberlane, UK\n"
                                            "Uses MMVARI sound card engine\n"
                                            "Sound card engine: Skylark's own multi-channel modem";

/// The help text to open: the station folder's copy when there is one, otherwise the copy
/// shipped beside the program (or in the installed data folder).
QString helpFilePath(const QString& stationDir, const char* fileName);

} // namespace app
