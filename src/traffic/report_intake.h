#pragma once
#include "model/records.h"

// The traffic pass's intake of one report from the adding stack: a report of a known aircraft joins its
// stream when it passes the filters, a report of a new aircraft becomes a buffered live record when the
// intake rules accept it. Refusals are silent.

namespace zeph {

// One report taken off the adding stack (traffic thread).
void lf_processRtRecord(TrafficReport& report);

// A report of an aircraft not in the live table: its registration may name the type; a known type goes on to
// lf_addNewLiveAc, any other is dropped.
void lf_checkNewReport(TrafficReport& report);

// Appends a buffered live record for the report when its kind is wanted and its altitude is not refused at
// the park airport. Sets the report's first callsign, coupled callsign and coupled-search flag on the way.
void lf_addNewLiveAc(TrafficReport& report);

// Whether live aircraft of this kind are shown: Light, HighPerf and Rotorcraft only when their check box is
// on; Buzjets, Large and Heavy always.
bool isWantedKind(AcKind kind);

} // namespace zeph
