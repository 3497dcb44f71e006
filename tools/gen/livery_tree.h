#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Livery folders as users have them: aircraft folders with an aircraft.cfg (or sim.cfg) in one of the
// charsets people save them in, its model and texture folders and its flight-model file. Tests, the
// benchmark and run.sh build their trees with it.

namespace zeph::gen {

enum class Encoding { Utf8, Utf8Bom, Utf16LeBom, Utf16BeBom, Utf16LeNoBom, Cp1252, Raw };
enum class LineEnd { Lf, Crlf, Mixed };

// The text (UTF-8) in the encoding; Raw keeps the bytes. Throws std::invalid_argument for text the
// encoding cannot hold (a character outside Windows-1252, or text that is not UTF-8).
std::string encodeText(const std::string& utf8, Encoding encoding);

// One aircraft folder. Keys go to the section opened last, or to [General] before any.
class AircraftDir {
public:
    AircraftDir(std::filesystem::path folder, Encoding encoding, LineEnd lineEnd);

    AircraftDir& fileName(std::string name); // "aircraft.cfg" unless set
    AircraftDir& atcModel(const std::string& type);
    AircraftDir& section(int number);             // "[fltsim.N]"
    AircraftDir& header(const std::string& text); // any header line, e.g. "[fltsim.x]" or "[Sound]"
    AircraftDir& key(const std::string& name, const std::string& value);
    AircraftDir& line(const std::string& text); // a raw line
    AircraftDir& title(const std::string& value) { return key("title", value); }
    AircraftDir& sim(const std::string& value) { return key("sim", value); }
    AircraftDir& model(const std::string& value) { return key("model", value); }
    AircraftDir& texture(const std::string& value) { return key("texture", value); }
    AircraftDir& atcId(const std::string& value) { return key("atc_id", value); }
    AircraftDir& parkingCodes(const std::string& value) { return key("atc_parking_codes", value); }
    AircraftDir& parkingTypes(const std::string& value) { return key("atc_parking_types", value); }
    // A section that is complete but for its airline: title, sim=ac, model= and texture=<texture>, with the
    // folders "model", "texture.<texture>" (or "texture") and the file "ac.air".
    AircraftDir& livery(int number, const std::string& title, const std::string& texture);
    AircraftDir& folder(const std::string& name);  // a subfolder, e.g. "texture.KLM"
    AircraftDir& airFile(const std::string& name); // an empty file, e.g. "b738.air"
    AircraftDir& rawBytes(std::string bytes);      // the file's bytes instead of its lines

    // Makes the folder, its subfolders and files, and the cfg file.
    void write() const;
    std::string bytes() const;
    const std::filesystem::path& path() const { return folder_; }

private:
    std::filesystem::path folder_;
    Encoding encoding_;
    LineEnd lineEnd_;
    std::string fileName_ = "aircraft.cfg";
    std::vector<std::string> lines_;
    std::vector<std::string> folders_;
    std::vector<std::string> files_;
    std::unique_ptr<std::string> raw_;
};

class LiveryTree {
public:
    explicit LiveryTree(std::filesystem::path root);
    // The aircraft folder root/lfolder/relPath, made on first use.
    AircraftDir& ac(const std::string& lfolder, const std::string& relPath,
                    Encoding encoding = Encoding::Utf8, LineEnd lineEnd = LineEnd::Lf);
    void write() const;
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
    std::map<std::string, std::unique_ptr<AircraftDir>> dirs_;
};

// The catalogue of the livery-scan tests: root/L0 with one aircraft folder per case of the standard
// reader, root/L1 with the IVAO ones. Written.
void buildCatalogue(const std::filesystem::path& root);

struct CharsetShare {
    Encoding encoding;
    unsigned weight;
};

struct ScaleOptions {
    int files = 1000;
    std::uint32_t seed = 1;
    int minSections = 1;
    int maxSections = 8;
    double ivaoShare = 0.0; // of the files, below IVAO_MTL
    double pvtShare = 0.0;  // of the sections, without airline (private aircraft)
    std::vector<CharsetShare> charsets{{Encoding::Utf8, 1}};
    std::vector<std::string> types{"B738"};   // known aircraft types
    std::vector<std::string> airlines{"KLM"}; // known airline codes
};

// A tree of files aircraft.cfg files below root, each with sections that read as valid liveries; the same
// options give the same bytes.
void generateScaleTree(const std::filesystem::path& root, const ScaleOptions& options);

// The types of <aircrafts> and the codes of <ICAO_airlines> of a plain aircraft database file.
void readDbaseNames(const std::filesystem::path& dbase, std::vector<std::string>& types,
                    std::vector<std::string>& airlines);

// One aircraft folder per entry of a JSON list {"liveries": [{"folder", "type", "airline", "title",
// "parkingTypes"?}]} below root, each with its model, texture and flight-model file. Throws
// std::invalid_argument naming the list and the item for a bad list, before anything is written.
void writeLiveryList(const std::filesystem::path& listFile, const std::filesystem::path& root);

} // namespace zeph::gen
