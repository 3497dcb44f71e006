#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/log_fixture.h"
#include "support/recording_control_sink.h"
#include "support/temp_dir.h"

namespace zeph::test {

// (name, value) of one "parameter" element; a missing attribute reads "<none>".
using ElementList = std::vector<std::pair<std::string, std::string>>;

// A test in its own program folder with Log.txt open, every parameter at its default, parameters.xml in a
// temp AppData folder, no stop flag set and a recorder in the window's place.
class ParametersTest : public LogFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path file() const;
    std::filesystem::path generationFile() const; // parameters0.xml beside it
    RecordingControlSink& sink() { return *sink_; }

    // Log lines written after this call.
    void markLog();
    std::vector<std::string> logSinceMark() const;

private:
    TempDir appData_;
    std::unique_ptr<RecordingControlSink> sink_;
    std::size_t logMark_ = 0;
};

// The "parameter" elements of a file, in file order; empty when it does not parse.
ElementList fileElements(const std::filesystem::path& file);
// True when the file parses and has root/parameters.
bool parsesWithRoot(const std::filesystem::path& file);
// The values of every element of name, in file order.
std::vector<std::string> valuesOf(const ElementList& elements, const std::string& name);
// Every key of the six registries, in the order of a whole write.
std::vector<std::string> registryKeys();

bool contains(const std::vector<std::string>& lines, const std::string& line);
std::size_t countLines(const std::vector<std::string>& lines, const std::string& line);

} // namespace zeph::test
