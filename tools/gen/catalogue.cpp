#include "gen/livery_tree.h"

// One aircraft folder per case the readers tell apart. Titles are unique over the whole catalogue, so each
// case's outcome shows on its own.

namespace zeph::gen {

namespace {

void standardCases(LiveryTree& tree) {
    tree.ac("L0", "KLM_B738")
        .atcModel("B738")
        .livery(0, "B738 KLM", "KLM")
        .parkingCodes("KLM")
        .atcId("PH-BXB")
        .livery(1, "B738 KLM 2", "KLM")
        .parkingCodes("KLMX, BAW");
    tree.ac("L0", "BAW_B744", Encoding::Utf8Bom, LineEnd::Crlf)
        .atcModel("B744")
        .header("[FltSim.0]")
        .title("B744 BAW")
        .sim("ac")
        .model("")
        .texture("BAW")
        .folder("model")
        .folder("texture.BAW")
        .airFile("ac.air")
        .parkingCodes("BAW")
        .parkingTypes("gate,cargo")
        .atcId("D-ABCD ; comment");
    tree.ac("L0", "DLH_A388", Encoding::Utf16LeBom)
        .atcModel("A388")
        .livery(0, "A388 Lufthansa D\xC3\xBCsseldorf", "DLH")
        .parkingCodes("DLH");
    tree.ac("L0", "UPS_B763", Encoding::Utf16BeBom)
        .atcModel("B763")
        .livery(0, "B763 UPS", "UPS")
        .parkingCodes("UPS")
        .parkingTypes("CARGO")
        .atcId("N456UP");
    tree.ac("L0", "GA_C172", Encoding::Cp1252).atcModel("C172").livery(0, "C172 Caf\xC3\xA9 N12AB", "");
    tree.ac("L0", "EZY_A320")
        .atcModel("A320")
        .livery(0, "A320 easyJet", "EZY")
        .parkingCodes("EZY")
        .atcId("G-EZAB");
    tree.ac("L0", "empty").rawBytes("");
    tree.ac("L0", "general_only").atcModel("B738");
    tree.ac("L0", "neg").atcModel("B738").livery(-1, "B738 Negative", "");
    tree.ac("L0", "overflow").atcModel("B738").header("[fltsim.99999999999]").title("B738 Overflow");
    tree.ac("L0", "malformed_hdr")
        .atcModel("B738")
        .header("[fltsim.x]")
        .title("B738 KLM Malformed")
        .sim("ac")
        .model("")
        .texture("")
        .folder("model")
        .folder("texture")
        .airFile("ac.air")
        .parkingCodes("KLM");
    tree.ac("L0", "no_model").line("[General]").livery(0, "B738 No Model", "").parkingCodes("KLM");
    tree.ac("L0", "fix").atcModel("B73H").livery(0, "B738 KLM Fixed", "").parkingCodes("KLM");
    tree.ac("L0", "bad_type").atcModel("QQQQ").livery(0, "QQQQ Bad", "").parkingCodes("KLM");
}

void sectionCases(LiveryTree& tree) {
    AircraftDir& dir = tree.ac("L0", "sections").atcModel("B738");
    dir.livery(0, "S0 First", "").title("S0 Second").parkingCodes("KLM");
    dir.section(1).title("S1 Two Ids").atcId("PH-BXC").line("//atc_id=X").sim("ac").model("").texture("");
    dir.livery(2, "S2 List", "").parkingCodes("KLM").atcId("N12345, N67890");
    dir.livery(3, "S3 Star", "").parkingCodes("KLM").atcId("N*1");
    dir.livery(4, "S4 Rfo", "").parkingCodes("RFO");
    dir.livery(5, "S5 Unknown", "").parkingCodes("XYZ");
    dir.livery(6, "S6 No Texture", "").texture("NOPE").parkingCodes("KLM");
    dir.section(7).line("  TITLE  =  Foo  Bar  ").sim("ac").model("").texture("").parkingCodes("KLM");
    dir.livery(8, "S8 Before Sound", "").parkingCodes("KLM").line(" [Sound]").atcId("PH-BXD");
    tree.ac("L0", "heavy")
        .atcModel("B744")
        .livery(0, "B744 No Airline", "")
        .livery(1, "B744 Unknown Reg", "")
        .atcId("ZZ-ZZZ");
    tree.ac("L0", "case")
        .atcModel("B738")
        .section(0)
        .title("B738 KLM Case")
        .sim("ac")
        .model("ABC")
        .texture("klm")
        .parkingCodes("KLM")
        .folder("model.abc")
        .folder("texture.KLM")
        .airFile("ac.air");
    tree.ac("L0", "empty_vals")
        .atcModel("B738")
        .section(0)
        .title("B738 KLM Empty")
        .sim("ac")
        .model("")
        .texture("")
        .parkingCodes("KLM")
        .folder("model")
        .folder("texture")
        .airFile("ac.air");
}

void ivaoCases(LiveryTree& tree) {
    tree.ac("L1", "IVAO_MTL/IVAO_B738w")
        .livery(0, "B738BAW Speedbird", "")
        .livery(1, "B738 XYZ", "")
        .livery(2, "Foo", "")
        .livery(3, "Bar", "")
        .atcId("PH-BXB")
        .livery(4, "B738 KLM Cargo", "")
        .parkingTypes("CARGO")
        .livery(5, "Baz", "")
        .line("ATC_ID = PH-BXB")
        .livery(6, "Qux", "")
        .line("atc_id = PH-BXB")
        .atcId("PH-BXC");
    tree.ac("L1", "IVAO_MTL/IVAO_GLID_KA6").livery(0, "GLID SWR Glider", "");
    tree.ac("L1", "IVAO_MTL/IVAO_T154M").livery(0, "T154 AFR Tupolev", "");
    tree.ac("L1", "ivao_x-csl/pack").livery(0, "B738 KLM Csl", "");
    tree.ac("L1", "ivao_mtl/IVAO_B738").atcModel("B738").livery(0, "B738 KLM 9", "").parkingCodes("KLM");
}

} // namespace

void buildCatalogue(const std::filesystem::path& root) {
    LiveryTree tree(root);
    standardCases(tree);
    sectionCases(tree);
    ivaoCases(tree);
    tree.write();
}

} // namespace zeph::gen
