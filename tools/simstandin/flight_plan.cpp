#include "simstandin/flight_plan.h"

#include <fstream>
#include <string_view>
#include <sys/stat.h>

#include <pugixml.hpp>

namespace zeph::standin {

namespace {

FlightPlanCheck failed(std::string error) {
    FlightPlanCheck check;
    check.error = std::move(error);
    return check;
}

// Reads the whole file when it is a regular file of at most the limit.
bool readSmallFile(const std::string& path, std::string& content, std::string& error) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        error = "missing file";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (static_cast<std::size_t>(info.st_size) > kMaxFlightPlanBytes) {
        error = "file over 1 MiB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "unreadable file";
        return false;
    }
    content.resize(kMaxFlightPlanBytes + 1);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    if (content.size() > kMaxFlightPlanBytes) {
        error = "file over 1 MiB";
        return false;
    }
    return true;
}

} // namespace

FlightPlanCheck checkFlightPlan(const std::string& path) {
    std::string content;
    std::string error;
    if (!readSmallFile(path, content, error)) {
        return failed(error);
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(content.data(), content.size());
    if (!parsed) {
        return failed(std::string("not XML: ") + parsed.description());
    }
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "SimBase.Document" ||
        std::string_view(root.attribute("Type").value()) != "AceXML" ||
        std::string_view(root.attribute("version").value()) != "4,3") {
        return failed("root is not an AceXML 4,3 SimBase.Document");
    }
    const pugi::xml_node plan = root.child("FlightPlan.FlightPlan");
    if (!plan) {
        return failed("no FlightPlan.FlightPlan");
    }
    FlightPlanCheck check;
    check.type = plan.child("FPType").text().get();
    check.departure = plan.child("DepartureID").text().get();
    check.destination = plan.child("DestinationID").text().get();
    if (check.type != "IFR" && check.type != "VFR") {
        return failed("FPType is neither IFR nor VFR");
    }
    if (check.departure.empty() || check.destination.empty()) {
        return failed("empty DepartureID or DestinationID");
    }
    check.ok = true;
    return check;
}

} // namespace zeph::standin
