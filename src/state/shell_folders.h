#pragma once

// The two folders the user is sent to when a scan needs a setting first: the one holding parameters.xml and
// the program's docs folder with the manual. Any thread.

namespace zeph {

// Opens the folder of parameters.xml; false, after an error box, when it cannot.
bool gf_openParametersFolder();

// Opens the folder of docs/Manual.pdf in the current folder; false, after an error box, when it cannot.
bool gf_openManual();

} // namespace zeph
