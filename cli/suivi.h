#pragma once

struct Demande;

// signetor-cli --suivre: writes the page at once, then again whenever a change of the source
// changes the page's bytes, until SIGTERM, SIGINT or SIGHUP. A source that cannot be read
// keeps the last page. Returns the exit status (0 once stopped by a signal).
int suivre(const Demande &demande);
