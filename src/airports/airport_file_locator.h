#pragma once
#include <filesystem>
#include <string>

#include "update/downloader.h"

// Finding the file of an airport: a link or local file in airports/my_thirdparty or airports/my_ORBX, or
// the maker's archive; and the learned file that belongs to it.

namespace zeph {

// CODE.xml and CODE.txt.
std::filesystem::path lf_withXmlExtension(const std::string& code);
std::filesystem::path lf_withTxtExtension(const std::string& code);
// The text without blanks (spaces only) at either end.
std::string lf_trimBlanks(std::string text);

// Whether any airport file can be found for the airport: a local file or link file in my_thirdparty or
// my_ORBX (by existence), or the airport database's record with at least one stand. Throws
// std::filesystem::filesystem_error when a folder cannot be examined.
bool gf_myAirportFileExists(const std::string& code);
// The airport's reference, or empty: my_thirdparty's link, then its local file, then the same of my_ORBX,
// then "archive/stock/CODE.xml" for an airport of the database with stands. Throws like the above.
std::string lf_stockArchiveFile(const std::string& code);
// The first line of a link file, trailing white space removed, when it names an ".xml" file (any case)
// inside the data tree; true then. A missing, unreadable or unfit file gives false and an empty reference.
bool lf_readLinkFile(const std::filesystem::path& file, std::string& reference);

// A name made fit to be one folder: "/" and "\" become blanks, control characters go, blanks are trimmed;
// "." and ".." become empty.
std::string lf_safePathComponent(std::string name);
// The learned file of a reference, read and written for the same airport; empty for no learned file.
std::filesystem::path lf_archivePathOf(const std::string& reference, const std::string& publisher);
// The learned file CODE.xml in the folder of the publisher: learned/stock, learned/simaddon, or
// learned/thirdparty/PUBLISHER (learned/thirdparty itself for a publisher that is empty when made safe).
std::filesystem::path lf_learnedFileByPublisher(const std::string& code, const std::string& publisher);

// Whether a reference names a local file, read where it lies, rather than one of the maker's archive.
bool lf_isLocalReference(const std::string& reference);
// Downloads the archived file into target; empty on success, else "failed to download: '<url>'" (also
// logged), and no target remains; failure, when given, gets what a failure says of a later try. Throws
// std::filesystem::filesystem_error when target cannot be removed.
std::string lf_downloadAirportFile(const std::string& reference, const std::filesystem::path& target,
                                   DownloadFailure* failure = nullptr);

} // namespace zeph
