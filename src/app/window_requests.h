#pragma once

// The window's requests that touch the traffic tables. The window never writes the tables itself: its
// handlers set a flag or leave a destination, and the traffic thread serves them here on its next pass.

namespace zeph {

// Takes each pending request once: a changed live limit removes the farthest active live aircraft until the
// limit holds; a flipped nav-light setting is sent to every active static aircraft and every parked active
// live one; a destination goes to the front of the park-airport list. Traffic thread.
void lf_serveWindowRequests();

} // namespace zeph
